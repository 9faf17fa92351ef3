// Writes the hand-made fuzzing seeds: valid files of each kind and their every truncation,
// lone lead bytes at the end, NULs, 100,000-deep nesting and mixed line breaks.
//
//   fuzz_make_seeds OUTPUT_FOLDER   (one subfolder per harness)
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kDeclSjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";
const std::string kDeclUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string kRootSjis = "\x83\x8B\x81\x5B\x83\x67";  // ルート in CP932

std::string Version2Body(const std::string& rootName, const std::string& nihon)
{
    return "<velmora><file version=\"2\" modified=\"2024/01/02 03:04:05\"/>"
           "<node name=\"" + rootName + "\" expanded=\"yes\" selstart=\"0\" sellength=\"0\"><text/>"
           "<node name=\"a&lt;b&gt;&quot;c&quot;&amp;amp;\" expanded=\"no\" selstart=\"3\" sellength=\"-2\">"
           "<text>x&lt;y&amp;z&gt;w\r\nsecond\r\n" + nihon + "\r\n</text></node>"
           "<node name=\"leaf\" expanded=\"no\" selstart=\"7\" sellength=\"0\" selected=\"yes\">"
           "<text><![CDATA[<raw>]]>&nbsp;<!-- note --><?pi data?></text></node></node></velmora>";
}

// The shape WriteDocument writes, which OpenDocument reads without the XML node tree.
std::string UsualVersion2Body(const std::string& rootName, const std::string& nihon)
{
    return "<velmora><file version=\"2\" modified=\"2024/01/02 03:04:05\"/>"
           "<node name=\"" + rootName + "\" expanded=\"yes\" selstart=\"0\" sellength=\"0\"><text></text>"
           "<node name=\"a&lt;b&gt;&quot;c&quot;&amp;amp;\" expanded=\"yes\" selstart=\"3\" sellength=\"-2\">"
           "<text>x&lt;y&amp;z&gt;w\r\nsecond\r\n" + nihon + "\r\n</text>"
           "<node name=\"" + nihon + "\" expanded=\"no\" selstart=\"+7\" sellength=\"x\"/></node>"
           "<node name=\"leaf\" expanded=\"no\" selstart=\"7\" sellength=\"0\" selected=\"yes\">"
           "<text>&nbsp;&unknown;&quot;" + nihon + "</text></node></node></velmora>\r\n";
}

std::string Version1Document()
{
    return "<node name=\"v1root\" activenodeindex=\"1\" selstart=\"2\" sellength=\"1\"><text>root text</text>\r\n"
           "  <node name=\"first\" activenodeindex=\"5\"><text/></node>\r\n"
           "  <node name=\"second\" selected=\"yes\" expanded=\"no\"><text>two</text></node>\r\n"
           "</node>\r\n";
}

std::string Nested(int depth, bool closed)
{
    std::string markup;
    markup.reserve(static_cast<std::size_t>(depth) * 13);
    for (int i = 0; i < depth; ++i) markup += "<node name=\"d\">";
    if (closed)
        for (int i = 0; i < depth; ++i) markup += "</node>";
    return markup;
}

// The text with each of its line breaks (CR LF or LF) replaced by the next of breaks in turn.
std::string WithBreaks(const std::string& text, const std::vector<std::string>& breaks)
{
    std::string out;
    std::size_t turn = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n') {
            out += breaks[turn++ % breaks.size()];
        } else {
            out += text[i];
        }
    }
    return out;
}

class SeedWriter {
public:
    explicit SeedWriter(fs::path folder) : folder_(std::move(folder)) { fs::create_directories(folder_); }

    void Add(const std::string& name, const std::string& bytes)
    {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
        ++count_;
    }
    // The file itself and every truncation of it.
    void AddWithTruncations(const std::string& name, const std::string& bytes)
    {
        for (std::size_t length = 0; length <= bytes.size(); ++length)
            Add(name + "-" + std::to_string(length), bytes.substr(0, length));
    }
    // Line-break variants, NULs, lone lead bytes at the end.
    void AddDamaged(const std::string& name, const std::string& bytes)
    {
        Add(name + "-lf", WithBreaks(bytes, {"\n"}));
        Add(name + "-cr", WithBreaks(bytes, {"\r"}));
        Add(name + "-mixed-breaks", WithBreaks(bytes, {"\r", "\n", "\r\n", "\n\r"}));
        std::string withNuls = bytes;
        for (std::size_t at = withNuls.size() / 3; at < withNuls.size(); at += withNuls.size() / 3 + 1)
            withNuls.insert(at, 1, '\0');
        Add(name + "-nuls", withNuls);
        for (const char* lead : {"\x82", "\x81", "\xE3", "\xE3\x81", "\xF0\x9F", "\xC3", "\xFF"})
            Add(name + "-lead-" + std::to_string(static_cast<unsigned char>(lead[0])) + "-" +
                    std::to_string(std::char_traits<char>::length(lead)),
                bytes + lead);
    }
    std::size_t Count() const { return count_; }

private:
    fs::path folder_;
    std::size_t count_ = 0;
};

void XmlSeeds(SeedWriter& seeds)
{
    const std::string sjis = kDeclSjis + Version2Body(kRootSjis, "\x93\xFA\x96\x7B");
    const std::string utf8 = kDeclUtf8 + Version2Body("ルート", "日本");
    seeds.AddWithTruncations("v2-sjis", sjis);
    seeds.AddWithTruncations("v2-utf8", utf8);
    seeds.AddWithTruncations("v1", Version1Document());
    const std::string usualSjis = kDeclSjis + UsualVersion2Body(kRootSjis, "\x93\xFA\x96\x7B");
    const std::string usualUtf8 = kDeclUtf8 + UsualVersion2Body("ルート", "日本");
    seeds.AddWithTruncations("v2-usual-sjis", usualSjis);
    seeds.AddWithTruncations("v2-usual-utf8", usualUtf8);
    for (const auto& [name, bytes] : {std::pair{"v2-sjis", sjis}, {"v2-utf8", utf8}, {"v1", Version1Document()},
                                      {"v2-usual-sjis", usualSjis}, {"v2-usual-utf8", usualUtf8}})
        seeds.AddDamaged(name, bytes);
    seeds.Add("deep-closed", Nested(100000, true));
    seeds.Add("deep-open", Nested(100000, false));
    seeds.Add("deep-utf8", kDeclUtf8 + "<velmora><file version=\"2\"/>" + Nested(100000, true) + "</velmora>");
    for (const char* unclosed : {"<?", "<!--", "<", "\"", "&", "<![CDATA[", "<a b=\""})
        seeds.Add("unclosed-" + std::to_string(seeds.Count()), std::string(unclosed) + std::string(1000, 'x'));
}

void IniSeeds(SeedWriter& seeds)
{
    const std::string ini =
        "\xEF\xBB\xBF; comment\r\n[Preferences]\r\nForm.Left=0x7FFFFFFF\r\nForm.Top=-$10\r\n"
        "FontName = Noto Sans CJK JP \r\nno equals sign\r\n=empty name\r\n\r\n"
        "[RecentFiles]\r\nFile1=/home/メモ.trm\r\n[preferences]\r\nWordWrap=1\r\n";
    seeds.AddWithTruncations("ini", ini);
    seeds.AddDamaged("ini", ini);
}

void KeyStoreSeeds(SeedWriter& seeds)
{
    const std::string values =
        "REG_DWORD\tForm.Left\t4294967295\nREG_SZ\tFont.Name\tＭＳ ゴシック\n"
        "REG_SZ\tOdd\\tname\tline1\\r\\nline2\\\\end\\x01\nREG_EXPAND_SZ\tPath\t%HOME%/a\n"
        "REG_DWORD\tBad\t12x\nREG_DWORD\tTooBig\t4294967296\nREG_SZ\tBroken\t\\x4\n";
    seeds.AddWithTruncations("values", values);
    seeds.AddDamaged("values", values);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fuzz_make_seeds OUTPUT_FOLDER\n";
        return 2;
    }
    const fs::path out = argv[1];
    SeedWriter xml(out / "xml");
    XmlSeeds(xml);
    SeedWriter ini(out / "ini");
    IniSeeds(ini);
    SeedWriter keyStore(out / "key_store");
    KeyStoreSeeds(keyStore);
    std::cout << xml.Count() << " XML, " << ini.Count() << " INI and " << keyStore.Count() << " key store seeds in " << out.string() << '\n';
    return 0;
}
