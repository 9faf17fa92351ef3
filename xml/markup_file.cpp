#include "xml/markup_file.h"

#include "platform/codepage.h"
#include "xml/line_breaks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace nanxml {

namespace {

bool IsBreakOrNul(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// True when one of the eight bytes of word is below 0x0E, as NUL, CR and LF are: the
// classic zero-byte test with 0x0E in place of 0. Tabs pass it too and are sorted out byte
// by byte.
bool HasByteBelowCrPlusOne(std::uint64_t word)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    return ((word - kOnes * 0x0E) & ~word & kHighBits) != 0;
}

const char* FindBreakOrNul(const char* p, const char* end)
{
    for (;;) {
        for (std::uint64_t word; end - p >= 8; p += 8) {
            std::memcpy(&word, p, sizeof word);
            if (HasByteBelowCrPlusOne(word)) break;
        }
        const char* const stop = end - p >= 8 ? p + 8 : end;
        for (; p < stop; ++p) {
            if (IsBreakOrNul(*p)) return p;
        }
        if (p == end) return end;
    }
}

std::string Declaration(TDocumentEncoding encoding)
{
    TNanXMLProcessingInstruction declaration;
    declaration.SetTarget("xml");
    declaration.SetData(std::string("version=\"1.0\" encoding=\"") +
                        (encoding == deUTF8 ? "UTF-8" : "Shift_JIS") + "\"");
    return declaration.GetXML();
}

// Where the last character of text starts, when it may be incomplete: the markup is cut
// there, so that the encoder sees every character whole. No UTF-8 sequence, well formed or
// not, runs across a byte that is not a continuation byte.
std::size_t StartOfLastCharacter(std::string_view text)
{
    if (text.empty() || static_cast<unsigned char>(text.back()) < 0x80) return text.size();
    std::size_t start = text.size();
    while (start > 0 && text.size() - start < 4) {
        --start;
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) return start;
    }
    return text.size();
}

}  // namespace

std::string_view TCrLfLines::Normalise(std::string_view piece, std::string& room)
{
    if (piece.empty()) return piece;
    if (HasOnlyCrLfBreaks(piece)) {
        // It ends neither in a CR nor in a lone LF.
        afterCr_ = false;
        lineOpen_ = !piece.ends_with("\r\n");
        return piece;
    }
    // Only grows, so that its room is not filled again for every piece.
    if (room.size() < 2 * piece.size()) room.resize(2 * piece.size());
    return std::string_view(room).substr(0, NormaliseInto(piece, room.data()));
}

std::size_t TCrLfLines::NormaliseInto(std::string_view piece, char* out)
{
    char* o = out;
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (p < end) {
        const char* const run = p;
        p = FindBreakOrNul(p, end);
        if (p > run) {
            std::memcpy(o, run, static_cast<std::size_t>(p - run));
            o += p - run;
            afterCr_ = false;
            lineOpen_ = true;
        }
        if (p == end) break;
        const char c = *p++;
        if (c == '\0') continue;
        if (c == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        *o++ = '\r';
        *o++ = '\n';
        afterCr_ = c == '\r';
        lineOpen_ = false;
    }
    return static_cast<std::size_t>(o - out);
}

TMarkupFile::TMarkupFile(const std::string& FileName, TDocumentEncoding Encoding, bool WithDeclaration)
    : file_(FileName), encoding_(Encoding)
{
    markup_.reserve(kPiece + (kPiece >> 4));
    if (WithDeclaration) markup_ = Declaration(encoding_);
}

void TMarkupFile::WritePiece(bool last)
{
    if (encoding_ == deUTF8) {
        if (markup_.find('\0') != std::string::npos) std::erase(markup_, '\0');
        file_.Write(markup_);
        markup_.clear();
        return;
    }
    const std::size_t cut = last ? markup_.size() : StartOfLastCharacter(markup_);
    encoded_.clear();
    unmappable_ += platform::EncodeCp932(std::string_view(markup_).substr(0, cut), encoded_);
    markup_.erase(0, cut);
    file_.Write(lines_.Normalise(encoded_, linesRoom_));
    if (last) file_.Write(lines_.Ending());
}

void TMarkupFile::Finish()
{
    if (finished_) return;
    WritePiece(true);
    finished_ = true;
}

void TMarkupFile::Commit()
{
    Finish();
    file_.Commit();
}

}  // namespace nanxml
