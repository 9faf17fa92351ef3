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
