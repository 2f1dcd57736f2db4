#include "catalogue/xml/XmlNode.h"
#include "platform/WideString.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <string>

namespace {

std::string U8(std::u16string_view s)
{
    std::string out;
    for (char16_t c : s)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

struct Loaded {
    XmlNode node;
    XmlParseOptions options;
    XmlPosition end = XmlNoPosition;
};

void LoadInto(Loaded &l, std::u16string_view text) { l.end = l.node.Load(text, 0, l.options); }

struct Row {
    const char *what;
    std::u16string text;
    std::function<void(XmlParseOptions &)> configure;
    bool loads;
    XmlParseError code;
    std::u16string errorText;
    std::function<void(const XmlNode &)> check;
};

void NoOptions(XmlParseOptions &) { }

TEST(XmlNode, EdgeCaseTable)
{
    const Row rows[] = {
        {"empty element", u"<a/>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(a.name, u"a");
                EXPECT_TRUE(a.attributes.empty());
                EXPECT_TRUE(a.children.empty());
            }},
        {"slash not followed by >", u"<a / >", NoOptions, false, XmlParseError::SlashWithoutGreater,
            u"Element must be closed.", nullptr},
        {"unquoted value runs to >", u"<a x=1 y=2>t</a>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                ASSERT_EQ(a.attributes.size(), 1u);
                EXPECT_EQ(a.attributes[0].name, u"x");
                EXPECT_EQ(a.attributes[0].value, u"1 y=2");
                EXPECT_EQ(a.value, u"t");
            }},
        {"attribute without =", u"<a x y='1'>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                ASSERT_EQ(a.attributes.size(), 2u);
                ASSERT_NE(a.AttributeValue(u"x"), nullptr);
                EXPECT_EQ(*a.AttributeValue(u"x"), u"");
                ASSERT_NE(a.AttributeValue(u"y"), nullptr);
                EXPECT_EQ(*a.AttributeValue(u"y"), u"1");
                EXPECT_EQ(a.AttributeValue(u"z"), nullptr);
            }},
        {"attribute name runs out", u"<a x>", NoOptions, false, XmlParseError::AttributeMalformed,
            u"<a> attribute has error ", nullptr},
        {"text ends in attribute list", u"<a b=\"1\"", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"mismatched close, strict", u"<a><b></c></a>", NoOptions, false, XmlParseError::CloseTagMismatch,
            u"'<b> ... </c>' is not wel-formed.", nullptr},
        {"mismatched close, tolerant", u"<a><b></c></a>", [](XmlParseOptions &o) { o.tolerant = true; }, true,
            XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(a.name, u"a");
                ASSERT_EQ(a.children.size(), 1u);
                EXPECT_EQ(a.children[0]->name, u"b");
            }},
        {"unterminated close tag", u"<a></a", NoOptions, false, XmlParseError::CloseTagUnterminated,
            u"it must be closed with </a>", nullptr},
        {"close name keeps its blank", u"<a></a >", NoOptions, false, XmlParseError::CloseTagMismatch,
            u"'<a> ... </a >' is not wel-formed.", nullptr},
        {"cdata child", u"<a><![CDATA[x < y && z]]></a>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                ASSERT_EQ(a.children.size(), 1u);
                EXPECT_EQ(a.children[0]->name, u"#CDATA");
                EXPECT_EQ(a.children[0]->kind, XmlNodeKind::CData);
                EXPECT_EQ(a.children[0]->parent, &a);
                EXPECT_EQ(a.ChildText(u"#CDATA", DefaultXmlTextOptions), u"x < y && z");
                EXPECT_EQ(a.value, u"");
            }},
        {"entity decoded", u"<a>x &amp; y</a>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(a.value, u"x & y");
                EXPECT_EQ(a.Text(DefaultXmlTextOptions), u"x &amp; y");
            }},
        {"entity kept", u"<a>x &amp; y</a>", [](XmlParseOptions &o) { o.decodeEntities = false; }, true,
            XmlParseError::None, u"", [](const XmlNode &a) { EXPECT_EQ(a.value, u"x &amp; y"); }},
        {"second text run dropped", u"<a>one<b/>two</a>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(a.value, u"one");
                ASSERT_EQ(a.children.size(), 1u);
            }},
        {"backslash keeps <", u"<a>\\<b</a>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(a.value, u"<b");
                EXPECT_TRUE(a.children.empty());
            }},
        {"no closing tag", u"<a>text", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) { EXPECT_EQ(a.value, u"text"); }},
        {"declaration skipped without document", u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<root/>", NoOptions,
            true, XmlParseError::None, u"",
            [](const XmlNode &r) {
                EXPECT_EQ(r.name, u"root");
                EXPECT_TRUE(r.children.empty());
                EXPECT_TRUE(r.attributes.empty());
            }},
        {"anything before first <", u"\xFEFFsome text <a k=\"v\"/>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(a.name, u"a");
                EXPECT_EQ(*a.AttributeValue(u"k"), u"v");
            }},
        // Decisions of our own about what the table leaves open.
        {"unterminated comment", u"<a><!-- never closed", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"unterminated cdata", u"<a><![CDATA[x]]", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"unterminated instruction", u"<?xml version=\"1.0\"", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"backslash last in text", u"<a>\\", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) { EXPECT_EQ(a.value, u""); }},
        {"backslash last in attribute", u"<a x=\"\\", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"backslash last in close search", u"<a><!-- \\", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"only a declaration", u"<?xml version=\"1.0\"?>", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"no < at all", u"plain text", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"text ends in tag name", u"<abc", NoOptions, false, XmlParseError::None, u"", nullptr},
        {"instruction inside element", u"<a><?pi x=\"1\"?><b/></a>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                ASSERT_EQ(a.children.size(), 1u);
                EXPECT_EQ(a.children[0]->name, u"b");
            }},
        {"text after a leading comment", u"<!-- c --> stray <root/>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &r) { EXPECT_EQ(r.name, u"root"); }},
        {"quoted value with escaped quote", u"<a x=\"1\\\"2\" y='\\\\'/>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(*a.AttributeValue(u"x"), u"1\"2");
                EXPECT_EQ(*a.AttributeValue(u"y"), u"\\");
            }},
        {"escape off keeps backslashes", u"<a x=\"c:\\d\">\\t</a>", [](XmlParseOptions &o) { o.escape = 0; }, true,
            XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(*a.AttributeValue(u"x"), u"c:\\d");
                EXPECT_EQ(a.value, u"\\t");
            }},
        {"trim values", u"<a x=\"  1 \" e=\"   \">  t  </a>", [](XmlParseOptions &o) { o.trim = true; }, true,
            XmlParseError::None, u"",
            [](const XmlNode &a) {
                EXPECT_EQ(*a.AttributeValue(u"x"), u"1");
                EXPECT_EQ(*a.AttributeValue(u"e"), u"");
                EXPECT_EQ(a.value, u"t");
            }},
        {"untrimmed blank value replaced by first text", u"<a>\r\n <b/>\r\n word <c/></a>", NoOptions, true,
            XmlParseError::None, u"", [](const XmlNode &a) { EXPECT_EQ(a.value, u"\r\n word "); }},
        {"entities in attributes, numeric kept", u"<a x=\"&lt;&amp;&quot;&apos;&gt;&#65;&amp\"/>", NoOptions, true,
            XmlParseError::None, u"", [](const XmlNode &a) { EXPECT_EQ(*a.AttributeValue(u"x"), u"<&\"'>&#65;&amp"); }},
        {"duplicate attributes all kept, first wins", u"<a x=\"1\" x=\"2\" x />", NoOptions, true, XmlParseError::None,
            u"",
            [](const XmlNode &a) {
                ASSERT_EQ(a.attributes.size(), 3u);
                EXPECT_EQ(*a.AttributeValue(u"x"), u"1");
                EXPECT_EQ(a.attributes[1].value, u"2");
                EXPECT_EQ(a.attributes[2].parent, &a);
            }},
        {"cdata holding ]] and <", u"<a><![CDATA[ if (x[y[0]] < 2) { } ]]]></a>", NoOptions, true, XmlParseError::None,
            u"",
            [](const XmlNode &a) {
                EXPECT_EQ(a.ChildText(u"#CDATA", DefaultXmlTextOptions), u" if (x[y[0]] < 2) { } ]");
            }},
        {"terminators ignore case", u"<a><![cdata[q]]></a>", NoOptions, true, XmlParseError::None, u"",
            [](const XmlNode &a) { EXPECT_EQ(a.ChildText(u"#CDATA", DefaultXmlTextOptions), u"q"); }},
        {"escape neither starts nor breaks a terminator", u"<a><!-- a -\\-> b --></a>", NoOptions, true,
            XmlParseError::None, u"",
            [](const XmlNode &a) {
                ASSERT_GE(a.children.size(), 1u);
                EXPECT_EQ(a.children[0]->name, u"#COMMENT");
                EXPECT_EQ(a.children[0]->value, u" a ");
            }},
        {"sections keep document order", u"<a><b/><!--c--><d/><![CDATA[e]]></a>", NoOptions, true, XmlParseError::None,
            u"",
            [](const XmlNode &a) {
                ASSERT_EQ(a.children.size(), 4u);
                EXPECT_EQ(a.children[0]->name, u"b");
                EXPECT_EQ(a.children[1]->name, u"#COMMENT");
                EXPECT_EQ(a.children[1]->value, u"c");
                EXPECT_EQ(a.children[2]->name, u"d");
                EXPECT_EQ(a.children[3]->name, u"#CDATA");
            }},
        {"empty tag names are dropped with their content", u"<a><><b/></><c/></a>", NoOptions, true,
            XmlParseError::None, u"",
            [](const XmlNode &a) {
                ASSERT_EQ(a.children.size(), 1u);
                EXPECT_EQ(a.children[0]->name, u"c");
            }},
        {"strict nested mismatch fails whole load", u"<a><b><c></b></c></a>", NoOptions, false,
            XmlParseError::CloseTagMismatch, u"'<c> ... </b>' is not wel-formed.", nullptr},
    };

    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Loaded l;
        row.configure(l.options);
        LoadInto(l, row.text);
        EXPECT_EQ(l.end != XmlNoPosition, row.loads);
        EXPECT_EQ(l.options.errorCode, row.code);
        EXPECT_EQ(l.options.errorOccurred, row.code != XmlParseError::None);
        EXPECT_EQ(U8(l.options.errorText), U8(row.errorText));
        if (row.code == XmlParseError::None)
            EXPECT_EQ(l.options.errorPosition, XmlNoPosition);
        else
            EXPECT_LE(l.options.errorPosition, row.text.size());
        if (row.loads && row.check)
            row.check(l.node);
    }
}

TEST(XmlNode, ErrorsOfAClosingTagAreRecordedPastWhatWasRead)
{
    const struct {
        std::u16string text;
        XmlParseError code;
        XmlPosition at;
    } cases[] = {
        {u"<a></  a", XmlParseError::CloseTagUnterminated, 7}, // after "</" and the blanks
        {u"<a><b></c> </a>", XmlParseError::CloseTagMismatch, 10}, // after ">"
        {u"<a></a >", XmlParseError::CloseTagMismatch, 8},
    };
    for (const auto &c : cases) {
        XmlParseOptions options;
        XmlNode node;
        EXPECT_EQ(node.Load(c.text, 0, options), XmlNoPosition);
        EXPECT_EQ(options.errorCode, c.code) << U8(c.text);
        EXPECT_EQ(options.errorPosition, c.at) << U8(c.text);
    }
}

TEST(XmlNode, TextAfterAnInstructionOrACommentIsKept)
{
    for (const std::u16string text : {u"<a><?pi?>t</a>", u"<a><!--c-->t</a>", u"<a><?pi x='1'?> t </a>"}) {
        XmlParseOptions options;
        XmlNode a;
        ASSERT_NE(a.Load(text, 0, options), XmlNoPosition) << U8(text);
        EXPECT_EQ(WideString::Trim(a.value), u"t") << U8(text);
    }
}

// Only the C locale's blanks separate: U+3000 and its kin belong to names and values.
TEST(XmlNode, WhiteSpaceIsTheSameInEveryLocale)
{
    const char *before = std::setlocale(LC_ALL, nullptr);
    const std::string saved = before ? before : "C";
    for (const char *locale : {"C", "C.UTF-8"}) {
        if (!std::setlocale(LC_ALL, locale))
            continue;
        XmlParseOptions options;
        XmlNode a;
        ASSERT_NE(a.Load(u"<a x=\"1\"\u3000y=\"2\"/>", 0, options), XmlNoPosition);
        ASSERT_EQ(a.attributes.size(), 2u) << locale;
        EXPECT_EQ(a.attributes[1].name, u"\u3000y") << locale;
        XmlNode b;
        ASSERT_NE(b.Load(u"<b>\u3000v\t</b>", 0, options), XmlNoPosition);
        EXPECT_EQ(b.value, u"\u3000v\t") << locale;
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(XmlNode, OnlyTheFirstErrorIsKept)
{
    XmlParseOptions options;
    XmlNode first;
    EXPECT_EQ(first.Load(u"<a></a", 0, options), XmlNoPosition);
    XmlPosition firstPosition = options.errorPosition;
    XmlNode second;
    EXPECT_EQ(second.Load(u"<b / >", 0, options), XmlNoPosition);
    EXPECT_EQ(options.errorCode, XmlParseError::CloseTagUnterminated);
    EXPECT_EQ(options.errorText, u"it must be closed with </a>");
    EXPECT_EQ(options.errorPosition, firstPosition);

    options.RecordError(XmlParseError::AttributeMalformed, 0, u"z");
    EXPECT_EQ(options.errorCode, XmlParseError::CloseTagUnterminated);
}

TEST(XmlNode, ReturnedPositions)
{
    const std::u16string text = u"<a/><b>x</b></c><d>";
    XmlParseOptions options;
    XmlNode a;
    XmlPosition p = a.Load(text, 0, options);
    EXPECT_EQ(p, 4u);
    XmlNode b;
    p = b.Load(text, p, options);
    EXPECT_EQ(b.name, u"b");
    EXPECT_EQ(p, 12u);
    // A closing tag belongs to the caller: the position comes back unchanged.
    XmlNode c;
    EXPECT_EQ(c.Load(text, p, options), p);
    EXPECT_TRUE(c.name.empty());
    // Text that ends inside an element closes it at the end.
    XmlNode d;
    EXPECT_EQ(d.Load(text, 16, options), text.size());
    EXPECT_EQ(d.Load(text, text.size(), options), XmlNoPosition);
    EXPECT_EQ(d.Load(text, XmlNoPosition, options), XmlNoPosition);
    EXPECT_FALSE(options.errorOccurred);
}

TEST(XmlNode, SectionWhereElementExpectedLeavesNodeEmpty)
{
    XmlNode parent;
    parent.name = u"p";
    auto child = std::make_unique<XmlNode>();
    child->parent = &parent;
    XmlParseOptions options;
    const std::u16string text = u"  <!--note--><x/>";
    XmlPosition p = child->Load(text, 0, options);
    EXPECT_EQ(p, 13u);
    EXPECT_TRUE(child->name.empty());
    ASSERT_EQ(parent.children.size(), 1u);
    EXPECT_EQ(parent.children[0]->name, u"#COMMENT");
    EXPECT_EQ(parent.children[0]->value, u"note");
    EXPECT_EQ(parent.children[0]->parent, &parent);
}

TEST(XmlNode, ReloadReplacesChildrenAndAttributes)
{
    XmlParseOptions options;
    XmlNode node;
    ASSERT_NE(node.Load(u"<a x=\"1\"><b/><c/></a>", 0, options), XmlNoPosition);
    ASSERT_EQ(node.children.size(), 2u);
    ASSERT_NE(node.Load(u"<d y=\"2\"/>", 0, options), XmlNoPosition);
    EXPECT_EQ(node.name, u"d");
    EXPECT_TRUE(node.children.empty());
    ASSERT_EQ(node.attributes.size(), 1u);
    EXPECT_EQ(node.attributes[0].name, u"y");
}

TEST(XmlNode, LookupsAndText)
{
    XmlParseOptions options;
    XmlNode root;
    ASSERT_NE(root.Load(u"<r>own&amp;<i n=\"1\"/><j/><i n=\"2\">v&lt;<![CDATA[raw&]]></i><I n=\"3\"/></r>", 0, options),
        XmlNoPosition);
    std::vector<XmlNode *> items = root.FindChildren(u"i");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(*items[0]->AttributeValue(u"n"), u"1");
    EXPECT_EQ(*items[1]->AttributeValue(u"n"), u"2");
    EXPECT_EQ(root.FindChild(u"i"), items[0]);
    EXPECT_EQ(root.FindChild(u"I")->FindAttribute(u"n")->value, u"3");
    EXPECT_EQ(root.FindChild(u"k"), nullptr);
    EXPECT_TRUE(root.FindChildren(u"k").empty());
    EXPECT_EQ(root.FindAttribute(u"n"), nullptr);

    // Children's texts first (always encoded), then the node's own value as asked.
    EXPECT_EQ(items[1]->Text(DefaultXmlTextOptions), u"raw&v&lt;");
    EXPECT_EQ(items[1]->Text(XmlTextOptions {}), u"raw&v<");
    EXPECT_EQ(root.Text(XmlTextOptions {}), u"raw&v&lt;own&");
    EXPECT_EQ(root.Text(DefaultXmlTextOptions), u"raw&v&lt;own&amp;");
    EXPECT_EQ(root.ChildText(u"j", DefaultXmlTextOptions), u"");
    EXPECT_EQ(root.ChildText(u"missing", DefaultXmlTextOptions), u"");
}

TEST(XmlNode, DocumentKeepsInstructionsAndComments)
{
    XmlParseOptions options;
    XmlNode document;
    ASSERT_TRUE(document.LoadDocument(
        u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- head --><root a=\"1\"><!--in--></root>", options));
    EXPECT_EQ(document.kind, XmlNodeKind::Document);
    ASSERT_EQ(document.children.size(), 3u);
    const XmlNode &pi = *document.children[0];
    EXPECT_EQ(pi.kind, XmlNodeKind::ProcessingInstruction);
    EXPECT_EQ(pi.name, u"xml");
    EXPECT_EQ(*pi.AttributeValue(u"version"), u"1.0");
    EXPECT_EQ(*pi.AttributeValue(u"encoding"), u"utf-8");
    EXPECT_EQ(pi.document, &document);
    EXPECT_EQ(document.children[1]->kind, XmlNodeKind::Comment);
    EXPECT_EQ(document.children[1]->value, u" head ");
    const XmlNode &root = *document.children[2];
    EXPECT_EQ(root.name, u"root");
    EXPECT_EQ(root.document, &document);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0]->document, &document);
    EXPECT_EQ(root.children[0]->kind, XmlNodeKind::Comment);
    // Instructions and comments add nothing to a document's text.
    EXPECT_EQ(document.Text(DefaultXmlTextOptions), u"");

    XmlParseOptions again;
    EXPECT_FALSE(document.LoadDocument(u"<!-- only a comment -->", again));
}

TEST(XmlNode, NestingDepthIsBounded)
{
    auto nested = [](std::size_t depth) {
        std::u16string text;
        text.reserve(depth * 7);
        for (std::size_t i = 0; i < depth; ++i)
            text += u"<a>";
        for (std::size_t i = 0; i < depth; ++i)
            text += u"</a>";
        return text;
    };
    {
        XmlParseOptions options;
        XmlNode root;
        const std::u16string text = nested(XmlNode::MaxDepth);
        EXPECT_EQ(root.Load(text, 0, options), text.size());
        std::size_t depth = 1;
        for (const XmlNode *n = &root; !n->children.empty(); n = n->children[0].get())
            ++depth;
        EXPECT_EQ(depth, XmlNode::MaxDepth);
        EXPECT_EQ(root.Text(DefaultXmlTextOptions), u"");
    }
    {
        XmlParseOptions options;
        XmlNode root;
        EXPECT_EQ(root.Load(nested(XmlNode::MaxDepth + 1), 0, options), XmlNoPosition);
    }
    {
        // A million open tags: a clean failure, not a crash.
        XmlParseOptions options;
        options.tolerant = true;
        XmlNode root;
        std::u16string text;
        for (int i = 0; i < 1000000; ++i)
            text += u"<a>";
        EXPECT_EQ(root.Load(text, 0, options), XmlNoPosition);
    }
}

TEST(XmlNode, DeepTreeBuiltByHandIsFreedAndWalked)
{
    // Nodes linked by hand, deeper than any load allows: freeing and Text must not recurse.
    auto root = std::make_unique<XmlNode>();
    XmlNode *tip = root.get();
    for (int i = 0; i < 200000; ++i) {
        auto child = std::make_unique<XmlNode>();
        child->name = u"n";
        child->parent = tip;
        XmlNode *next = child.get();
        tip->children.push_back(std::move(child));
        tip = next;
    }
    tip->value = u"<";
    EXPECT_EQ(root->Text(DefaultXmlTextOptions), u"&lt;");
    root.reset();
}

TEST(XmlEntities, DecodeAndEncode)
{
    EXPECT_EQ(XmlEntities::Decode(u"a&amp;lt;b", DefaultXmlEntities), u"a&lt;b");
    EXPECT_EQ(XmlEntities::Decode(u"&&amp;&", DefaultXmlEntities), u"&&&");
    EXPECT_EQ(XmlEntities::Encode(u"<a href=\"x\">&'", DefaultXmlEntities), u"&lt;a href=&quot;x&quot;&gt;&amp;&apos;");
    EXPECT_EQ(XmlEntities::Encode(u"plain", DefaultXmlEntities), u"plain");

    // Rows that claim more than they hold, or nothing at all, neither hang nor overread.
    const XmlEntityTable odd = {{u'x', u"&x;", 40}, {u'y', u"", 0}, {u'z', u"&z;", -3}};
    EXPECT_EQ(XmlEntities::Decode(u"&x;&z;", odd), u"x&z;");
    EXPECT_EQ(XmlEntities::Encode(u"xz", odd), u"&x;z");
}

} // namespace
