#include "document/Matcher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace document;

namespace {

std::string Show(const std::vector<ByteRange>& hits) {
    std::string s;
    for (ByteRange r : hits) s += std::to_string(r.start) + "+" + std::to_string(r.length) + " ";
    return s;
}

// The matcher's answer worked out the slow way: the text cut into folded units from its
// start, the pattern compared at every unit, hits taken left to right without overlap.
std::vector<ByteRange> Reference(std::string_view text, std::string_view pattern, const FindOptions& options) {
    if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") text.remove_suffix(2);
    auto cut = [&](std::string_view s) {
        std::vector<std::pair<char32_t, std::size_t>> units;  // folded, start
        for (std::size_t i = 0; i < s.size();) {
            const FoldedUnit u = FoldAt(s, i, options);
            units.emplace_back(u.folded, i);
            i += u.bytes;
        }
        return units;
    };
    const auto t = cut(text);
    const auto p = cut(pattern);
    std::vector<ByteRange> hits;
    if (p.empty()) return hits;
    for (std::size_t i = 0; i + p.size() <= t.size();) {
        bool same = true;
        for (std::size_t k = 0; same && k < p.size(); ++k) same = t[i + k].first == p[k].first;
        if (!same) {
            ++i;
            continue;
        }
        const std::size_t end = i + p.size() < t.size() ? t[i + p.size()].second : text.size();
        hits.push_back({t[i].second, end - t[i].second});
        i += p.size();
    }
    return hits;
}

// Quotes every ASCII sign so that the pattern means its letters only.
std::string Quoted(std::string_view plain) {
    std::string out;
    for (char c : plain) {
        if (static_cast<unsigned char>(c) < 0x80 && !std::isalnum(static_cast<unsigned char>(c))) out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

TEST(Matcher, AgreesWithTheReferenceOnRandomTexts) {
    // Letters chosen where folding is tricky: cases and widths of one letter, half-width
    // letters with and without sound marks, marks alone, kana of both kinds, a surrogate pair.
    const std::vector<std::string> alphabet = {"a", "A", "ａ", "Ａ", "b", "ｶ", "ﾞ", "ﾟ", "ﾊ", "ガ", "カ", "が", "か",
                                               "パ", "ぱ", "日", "🎌", " ", "　", "\r\n", "*", "＊", "0", "０"};
    std::mt19937 random(19);
    auto pick = [&](std::size_t n, bool breaks) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) {
            std::string letter = alphabet[random() % alphabet.size()];
            if (!breaks && letter == "\r\n") letter = "b";
            s += letter;
        }
        return s;
    };
    int compared = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string text = pick(random() % 60, true);
        const std::string pattern = pick(1 + random() % 3, round % 4 == 0);
        for (int flags = 0; flags < 8; ++flags) {
            const FindOptions options{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0, false};
            const auto expected = Reference(text, pattern, options);
            const auto plain = Matcher(pattern, options).FindAll(text);
            ASSERT_EQ(Show(plain), Show(expected)) << "text [" << text << "] pattern [" << pattern << "] flags " << flags;
            // The same letters as a regular expression find the same hits (RE2 folds case
            // by Unicode, which these letters do not tell apart from ASCII folding).
            if (pattern.find('\n') != std::string::npos) continue;
            FindOptions asRegex = options;
            asRegex.regex = true;
            const Matcher re(Quoted(pattern), asRegex);
            ASSERT_TRUE(re.Valid()) << re.Error();
            ASSERT_EQ(Show(re.FindAll(text)), Show(expected)) << "regex [" << pattern << "] in [" << text << "] flags " << flags;
            compared += !expected.empty();
        }
    }
    EXPECT_GT(compared, 300);  // the random texts did hit, not only miss
}

TEST(Matcher, FoldingTables) {
    const FindOptions byDefault;  // case folded, widths folded, kana told apart
    const FindOptions kana{false, true, true, false};
    const FindOptions exact{true, false, false, false};
    auto fold = [](std::string_view s, const FindOptions& o) { return FoldAt(s, 0, o); };

    EXPECT_EQ(fold("Ａ", byDefault).folded, U'a');
    EXPECT_EQ(fold("Ａ", {true, true, false, false}).folded, U'A');
    EXPECT_EQ(fold("Ａ", exact).folded, U'Ａ');
    EXPECT_EQ(fold("Ａ", {false, false, false, false}).folded, U'ａ');
    EXPECT_EQ(fold("０", byDefault).folded, U'0');
    EXPECT_EQ(fold("～", byDefault).folded, U'~');
    EXPECT_EQ(fold("　", byDefault).folded, U' ');
    EXPECT_EQ(fold("ｰ", byDefault).folded, U'ー');
    EXPECT_EQ(fold("｢", byDefault).folded, U'「');
    EXPECT_EQ(fold("ｦ", byDefault).folded, U'ヲ');
    EXPECT_EQ(fold("ｯ", byDefault).folded, U'ッ');
    // A half-width letter and its sound mark are one letter, six bytes.
    EXPECT_EQ(fold("ｶﾞ", byDefault).folded, U'ガ');
    EXPECT_EQ(fold("ｶﾞ", byDefault).bytes, 6u);
    EXPECT_EQ(fold("ﾄﾞ", byDefault).folded, U'ド');
    EXPECT_EQ(fold("ﾂﾞ", byDefault).folded, U'ヅ');
    EXPECT_EQ(fold("ﾊﾟ", byDefault).folded, U'パ');
    EXPECT_EQ(fold("ﾎﾞ", byDefault).folded, U'ボ');
    EXPECT_EQ(fold("ｳﾞ", byDefault).folded, U'ヴ');
    EXPECT_EQ(fold("ﾜﾞ", byDefault).folded, U'ヷ');
    // A mark the letter does not take stays a letter of its own.
    EXPECT_EQ(fold("ｶﾟ", byDefault).folded, U'カ');
    EXPECT_EQ(fold("ｶﾟ", byDefault).bytes, 3u);
    EXPECT_EQ(fold("ﾅﾞ", byDefault).bytes, 3u);
    EXPECT_EQ(fold("ﾞ", byDefault).folded, U'゛');
    // Kana: katakana read as hiragana, half-width ones too; ヷ has no hiragana.
    EXPECT_EQ(fold("カ", kana).folded, U'か');
    EXPECT_EQ(fold("ｶﾞ", kana).folded, U'が');
    EXPECT_EQ(fold("ヴ", kana).folded, U'ゔ');
    EXPECT_EQ(fold("ヶ", kana).folded, U'ゖ');
    EXPECT_EQ(fold("ヽ", kana).folded, U'ゝ');
    EXPECT_EQ(fold("ヷ", kana).folded, U'ヷ');
    EXPECT_EQ(fold("ー", kana).folded, U'ー');
    EXPECT_EQ(fold("カ", byDefault).folded, U'カ');

    // Through the matcher: the whole half-width word, not the letter inside a voiced one.
    const Matcher voiced("ガギグ", byDefault);
    EXPECT_EQ(Show(voiced.FindAll("xｶﾞｷﾞｸﾞ")), "1+18 ");
    EXPECT_EQ(Matcher("カ", byDefault).Count("ｶﾞｶ"), 1u);
    EXPECT_EQ(Show(Matcher("ﾞ", byDefault).FindAll("ｶﾞ日ﾞ")), "9+3 ");
    EXPECT_EQ(Matcher("ｶﾀｶﾅ", kana).Count("かたかな"), 1u);
    EXPECT_EQ(Matcher("かな", byDefault).Count("カナ"), 0u);
    EXPECT_EQ(Matcher("ABC", byDefault).Count("ａｂｃ"), 1u);
    EXPECT_EQ(Matcher("ABC", {false, false, false, false}).Count("ａｂｃ abc"), 1u);
}

TEST(Matcher, HitsAreShownAtTheEditorsPlace) {
    // Editor text "ab\n日🎌ｶﾞx": the emoji is two UTF-16 units, CR LF one, ｶﾞ two.
    const std::string text = "ab\r\n日🎌ｶﾞx\r\nlast\r\n";
    const Matcher matcher("ガX", FindOptions{});
    const auto hits = matcher.FindAll(text);
    ASSERT_EQ(hits.size(), 1u);
    const HitPlace place = PlaceOfHit(text, hits[0]);
    EXPECT_EQ(place.editorStart, 6);
    EXPECT_EQ(place.editorLength, 3);
    EXPECT_EQ(place.line, 2);
    EXPECT_EQ(place.lineText, "日🎌ｶﾞx");
    EXPECT_EQ(place.lineText.substr(place.hitInLine), "ｶﾞx");
    EXPECT_EQ(StoredOffsetOfEditorPosition(text, place.editorStart), hits[0].start);
    EXPECT_EQ(StoredOffsetOfEditorPosition(text, place.editorStart + place.editorLength), hits[0].start + hits[0].length);
    // A hit across a line break counts it once; the final break is not searched.
    const Matcher across("b\nい", FindOptions{});
    EXPECT_EQ(across.Count("ab\r\nい\r\n"), 1u);
    EXPECT_EQ(PlaceOfHit("ab\r\nい\r\n", across.FindAll("ab\r\nい\r\n")[0]).editorLength, 3);
    EXPECT_EQ(Matcher("t\n", FindOptions{}).Count(text), 0u);
}

TEST(Matcher, RegularExpressions) {
    FindOptions options;
    options.regex = true;

    const Matcher refused("(ab", options);
    EXPECT_FALSE(refused.Valid());
    EXPECT_EQ(refused.Error(), "missing ): (ab");
    EXPECT_FALSE(Matcher("", options).Valid());
    EXPECT_TRUE(Matcher("", options).Error().empty());
    EXPECT_FALSE(Matcher("", FindOptions{}).Valid());
    EXPECT_TRUE(Matcher("", FindOptions{}).FindAll("abc").empty());

    // ^ and $ at each line of the stored CR LF text; an empty match is no hit.
    const std::string text = "one two\r\nthree\r\n";
    EXPECT_EQ(Show(Matcher("^t\\w+$", options).FindAll(text)), "9+5 ");
    EXPECT_EQ(Show(Matcher("o$", options).FindAll(text)), "6+1 ");
    EXPECT_EQ(Matcher("x*", options).Count(text), 0u);
    EXPECT_EQ(Show(Matcher("e*", options).FindAll(text)), "2+1 12+2 ");
    // A full-width sign in the pattern is that sign, in either width, not an operator.
    EXPECT_EQ(Matcher("a＊", options).Count("a* aaa a＊"), 2u);
    // Groups in the replacement, taken from the stored text, not its folded form.
    const Matcher swap("(\\w+)-(\\w+)", options);
    EXPECT_EQ(swap.ReplaceAll("ｘｙ-ab\r\nc-d\r\n", "\\2=\\1\\\\"), "ab=ｘｙ\\\r\nd=c\\\r\n");

    // Linear time: a pattern that sends backtracking matchers into exponential time, over
    // 10 MB, and a 1 MB pattern, which is either compiled or refused with a reason.
    const std::string many(10u << 20, 'a');
    EXPECT_EQ(Matcher("(a*)*b", options).Count(many), 0u);
    EXPECT_EQ(Matcher("(a|aa)*c", options).Count(many), 0u);
    std::string huge;
    while (huge.size() < (1u << 20)) huge += "(x|y)";
    const Matcher big(huge, options);
    if (big.Valid())
        EXPECT_EQ(big.Count("xyxy"), 0u);
    else
        EXPECT_EQ(big.Error(), "pattern too large - compile failed");
}

TEST(Matcher, ScopesOrderCountAndReplaceOverTheTree) {
    DocumentTree tree;
    tree.Root().Data().SetText("猫\n");
    TreeNode& a = tree.AppendNode(tree.Root(), "猫の本");
    a.Data().SetText("ネコ 猫\n猫");
    TreeNode& a1 = tree.AppendNode(a, "子");
    a1.Data().SetText("猫ｶﾞ猫");
    TreeNode& b = tree.AppendNode(tree.Root(), "犬");
    b.Data().SetText("いぬ");

    const Matcher cat("猫", FindOptions{});
    const auto all = SourcesInScope(tree, &a1, FindScope::allNodes);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(SourcePath(all, 2), "ルート > 猫の本 > 子");
    EXPECT_EQ(SourcePath(all, 3), "ルート > 犬");
    EXPECT_EQ(SourcePath(SourcesInScope(tree, &a, FindScope::subtree), 1), "ルート > 猫の本 > 子");
    const FindResult both = FindInSources(cat, all, FindTarget::both);
    EXPECT_EQ(CountText(both), "6 件 (3 ノード)");
    // Tree order, and within a node its name first.
    std::string order;
    for (const FindHit& hit : both.hits)
        order += std::to_string(hit.source) + (hit.field == HitField::name ? "n" : "t") + std::to_string(hit.range.start) + " ";
    EXPECT_EQ(order, "0t0 1n0 1t7 1t12 2t0 2t9 ");
    EXPECT_EQ(CountText(FindInSources(cat, all, FindTarget::names)), "1 件 (1 ノード)");
    EXPECT_EQ(CountText(FindInSources(cat, SourcesInScope(tree, &a, FindScope::subtree), FindTarget::text)), "4 件 (2 ノード)");
    EXPECT_EQ(CountText(FindInSources(cat, SourcesInScope(tree, &a, FindScope::thisNode), FindTarget::text)), "2 件 (1 ノード)");
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(FindInSources(cat, all, FindTarget::both, &cancel).cancelled);

    // One hit, then the rest of the subtree; a hit no longer there is refused.
    EXPECT_TRUE(ReplaceHit(a, HitField::text, both.hits[2].range, cat, "ねこ"));
    EXPECT_EQ(a.Data().Text(), "ネコ ねこ\r\n猫\r\n");
    EXPECT_FALSE(ReplaceHit(a, HitField::text, both.hits[2].range, cat, "ねこ"));
    EXPECT_EQ(ReplaceAllInTree(tree, &a, FindScope::subtree, FindTarget::both, cat, "ねこ"), 4u);
    EXPECT_EQ(a.Name(), "ねこの本");
    EXPECT_EQ(a1.Data().Text(), "ねこｶﾞねこ\r\n");
    EXPECT_EQ(tree.Root().Data().Text(), "猫\r\n");
    FindOptions regex;
    regex.regex = true;
    EXPECT_EQ(ReplaceAllInTree(tree, nullptr, FindScope::allNodes, FindTarget::names, Matcher("(.)$", regex), "\\1\n2"), 4u);
    EXPECT_EQ(a.Name(), "ねこの本");  // a name stays one line: cut at the break
}

namespace {

std::string Utf8Of(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

}  // namespace

TEST(Matcher, CaseIsFoldedAsRegularExpressionsFoldIt) {
    // Every character of Latin-1, Latin Extended-A, Greek and Cyrillic, and the few outside
    // them that share a letter's case (ẞ, Ω, K, Å): each one alone as a pattern, plain and as
    // a regular expression, must find the same characters of them all.
    std::vector<char32_t> letters;
    for (char32_t cp = 0x21; cp < 0x180; ++cp) letters.push_back(cp);
    for (char32_t cp = 0x370; cp < 0x530; ++cp) letters.push_back(cp);
    for (char32_t cp : {0x1E9E, 0x2126, 0x212A, 0x212B, 0xFF21, 0xFF41}) letters.push_back(cp);
    std::string text;
    for (char32_t cp : letters) text += Utf8Of(cp) + " ";
    int folded = 0;
    for (const bool foldWidth : {false, true}) {
        const FindOptions plain{false, foldWidth, false, false};
        const FindOptions regex{false, foldWidth, false, true};
        for (char32_t cp : letters) {
            const std::string letter = Utf8Of(cp);
            const auto hits = Matcher(letter, plain).FindAll(text);
            const Matcher re(Quoted(letter), regex);
            ASSERT_TRUE(re.Valid()) << re.Error();
            ASSERT_EQ(Show(hits), Show(re.FindAll(text))) << "U+" << std::hex << static_cast<std::uint32_t>(cp);
            folded += hits.size() > 1;
        }
    }
    EXPECT_GT(folded, 1000);  // most of these letters have another case

    const FindOptions byDefault;
    EXPECT_EQ(Show(Matcher("café", byDefault).FindAll("CAFÉ Café")), "0+5 6+5 ");
    EXPECT_EQ(Matcher("ΣΟΦΊΑ", byDefault).Count("σοφία"), 1u);
    EXPECT_EQ(Show(Matcher("σ", byDefault).FindAll("Σσς")), "0+2 2+2 4+2 ");
    EXPECT_EQ(Matcher("Москва", byDefault).Count("МОСКВА москва"), 2u);
    EXPECT_EQ(Matcher("ŁÓDŹ", byDefault).Count("łódź"), 1u);
    EXPECT_EQ(Matcher("ŁÓDŹ", {true, true, false, false}).Count("łódź"), 0u);
    EXPECT_EQ(Matcher("i", byDefault).Count("İı"), 0u);  // dotted and dotless i are letters of their own
}

TEST(Matcher, AReplacementInANameKeepsItToOneLine) {
    DocumentTree tree;
    TreeNode& a = tree.AppendNode(tree.Root(), "第1章 はじめに");
    TreeNode& b = tree.AppendNode(tree.Root(), "付録 はじめに");
    a.Data().SetText("はじめに\n");
    const Matcher plain("はじめに", FindOptions{});
    // Only the part before the break replaces the hit; the rest of the name is kept.
    EXPECT_EQ(ReplaceAllInTree(tree, nullptr, FindScope::allNodes, FindTarget::both, plain, "序\r\n二行目"), 3u);
    EXPECT_EQ(a.Name(), "第1章 序");
    EXPECT_EQ(b.Name(), "付録 序");
    EXPECT_EQ(a.Data().Text(), "序\r\n二行目\r\n");  // a text takes the break
    FindOptions regex;
    regex.regex = true;
    const Matcher chapter("第(\\d)章", regex);
    ASSERT_EQ(chapter.FindAll(a.Name()).size(), 1u);
    EXPECT_TRUE(ReplaceHit(a, HitField::name, chapter.FindAll(a.Name())[0], chapter, "Chapter \\1\nx"));
    EXPECT_EQ(a.Name(), "Chapter 1 序");
    EXPECT_EQ(ReplaceAllInTree(tree, nullptr, FindScope::allNodes, FindTarget::names, Matcher("序", FindOptions{}), "\n"), 2u);
    EXPECT_EQ(a.Name(), "Chapter 1 ");
    EXPECT_EQ(b.Name(), "付録 ");
}

TEST(Matcher, BatchesPutTogetherAreTheWholeResult) {
    std::mt19937 random(7);
    const std::vector<std::string> alphabet = {"ね", "こ", "ネ", "ｺ", "a", "A", "\n"};
    for (int round = 0; round < 20; ++round) {
        DocumentTree tree;
        const int nodes = 1 + static_cast<int>(random() % 1500);
        std::vector<TreeNode*> all{&tree.Root()};
        for (int i = 0; i < nodes; ++i) {
            std::string name, text;
            for (int k = static_cast<int>(random() % 4); k > 0; --k) name += alphabet[random() % 6];
            for (int k = static_cast<int>(random() % 12); k > 0; --k) text += alphabet[random() % alphabet.size()];
            TreeNode& node = tree.AppendNode(*all[random() % all.size()], name);
            node.Data().SetText(text);
            all.push_back(&node);
        }
        const auto sources = SourcesInScope(tree, nullptr, FindScope::allNodes);
        const Matcher matcher(round % 2 ? "ねこ" : "a", FindOptions{false, true, true, false});
        const FindTarget target = static_cast<FindTarget>(round % 3);
        const FindResult whole = FindInSources(matcher, sources, target);

        FindResult joined;
        int batches = 0;
        bool ended = false;
        EXPECT_TRUE(FindInBatches(matcher, sources, target, std::chrono::milliseconds(0), [&](FindResult batch, bool last) {
            EXPECT_FALSE(ended);
            EXPECT_TRUE(last || !batch.hits.empty());
            ++batches;
            ended = last;
            joined.hits.Append(std::move(batch.hits));
            joined.nodes += batch.nodes;
        }));
        EXPECT_TRUE(ended);
        ASSERT_EQ(joined.hits.size(), whole.hits.size());
        for (std::size_t i = 0; i < whole.hits.size(); ++i) {
            EXPECT_EQ(joined.hits[i].source, whole.hits[i].source);
            EXPECT_EQ(joined.hits[i].field, whole.hits[i].field);
            EXPECT_EQ(joined.hits[i].range.start, whole.hits[i].range.start);
            EXPECT_EQ(joined.hits[i].range.length, whole.hits[i].range.length);
        }
        EXPECT_EQ(joined.nodes, whole.nodes);
        // With no wait between them, every block of nodes that held hits is a batch of its own.
        if (!whole.hits.empty() && whole.hits.back().source >= 256 && whole.hits.front().source < 256) {
            EXPECT_GE(batches, 3);
        }
    }
    // A cancelled search hands on no last batch.
    DocumentTree tree;
    tree.Root().Data().SetText("a");
    const auto sources = SourcesInScope(tree, nullptr, FindScope::allNodes);
    std::atomic<bool> cancel{true};
    bool called = false;
    EXPECT_FALSE(FindInBatches(Matcher("a", FindOptions{}), sources, FindTarget::text, std::chrono::milliseconds(0),
                               [&](FindResult, bool) { called = true; }, &cancel));
    EXPECT_FALSE(called);
}

TEST(Matcher, HitsInPiecesActAsOneList) {
    // Pieces appended, hits pushed and erased at random, against a plain vector.
    std::mt19937 random(23);
    FindHits hits;
    std::vector<FindHit> expected;
    std::uint32_t next = 0;
    for (int step = 0; step < 2000; ++step) {
        const unsigned what = random() % 4;
        if (what == 0) {
            FindHits piece;
            for (int k = static_cast<int>(random() % 5); k > 0; --k) {
                piece.push_back({next, HitField::text, {next, 1}});
                expected.push_back({next, HitField::text, {next, 1}});
                ++next;
            }
            hits.Append(std::move(piece));
            EXPECT_TRUE(piece.empty());
        } else if (what == 1 || expected.empty()) {
            hits.push_back({next, HitField::name, {next, 2}});
            expected.push_back({next, HitField::name, {next, 2}});
            ++next;
        } else {
            const std::size_t at = random() % expected.size();
            const auto it = hits.erase(hits.begin() + static_cast<std::ptrdiff_t>(at));
            expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
            EXPECT_EQ(it - hits.begin(), static_cast<std::ptrdiff_t>(at));
        }
        ASSERT_EQ(hits.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(hits[i].source, expected[i].source) << "step " << step << " hit " << i;
            ASSERT_EQ(hits[i].field, expected[i].field);
            ASSERT_EQ(hits[i].range.start, expected[i].range.start);
        }
    }
    EXPECT_GT(hits.size(), 300u);
    std::size_t walked = 0;
    for (const FindHit& hit : hits) EXPECT_EQ(hit.source, expected[walked++].source);
    EXPECT_EQ(walked, expected.size());
    EXPECT_EQ(hits.back().source, expected.back().source);
}
