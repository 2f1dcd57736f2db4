#include "catalogue/xml/XmlNode.h"

#include <utility>

namespace {

constexpr XmlPosition None = XmlNoPosition;
constexpr char16_t Backslash = u'\\';

// The C locale's class: a catalogue parses the same whatever locale the program runs in.
bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

bool IsBlank(std::u16string_view s)
{
    for (char16_t c : s)
        if (!IsSpace(c))
            return false;
    return true;
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// One load of one tree. Every scan is bounded by `limit`, which is the end of
// the text except while reading the pseudo-attributes of an instruction.
class XmlParser {
public:
    XmlParser(std::u16string_view text, XmlParseOptions &options)
        : m_text(text), m_end(text.size()), m_opt(options),
          m_decode(options.decodeEntities && options.entities && !options.entities->empty())
    {
        if (m_decode)
            for (const XmlEntity &row : *options.entities)
                if (row.reference.empty() || row.reference.front() != u'&')
                    m_ampersandOnly = false;
    }

    XmlPosition Run(XmlNode &root, XmlPosition from);

private:
    enum class Opened { Done, Children };

    Opened Open(XmlNode &node, XmlPosition from, XmlPosition &pos);
    XmlPosition ReadAttributes(XmlNode &node, XmlPosition p, XmlPosition limit, bool instruction);
    XmlPosition GatherAttributes(XmlNode &node, XmlPosition p, XmlPosition limit, bool instruction);
    XmlPosition ReadInstruction(XmlNode &node, XmlPosition p);
    // Appends the section to `target` (skipped when there is none).
    XmlPosition ReadSection(XmlNode *target, XmlNode *document, XmlPosition p, XmlNodeKind kind);
    XmlPosition TakeCharacterData(XmlNode &node, XmlPosition from);
    void AssignValue(wstring16 &target, XmlPosition a, XmlPosition b);

    XmlPosition SkipSpace(XmlPosition p, XmlPosition limit) const
    {
        while (p < limit && IsSpace(m_text[p]))
            ++p;
        return p;
    }

    // Steps over a backslash and the character after it; the end when X is not found.
    XmlPosition FindHonouringBackslash(XmlPosition p, char16_t x, XmlPosition limit) const
    {
        while (p < limit) {
            char16_t c = m_text[p];
            if (c == Backslash) {
                p += 2;
                continue;
            }
            if (c == x)
                return p;
            ++p;
        }
        return limit;
    }

    static bool IsNameEnd(char16_t c)
    {
        return c == u' ' || c == u'/' || c == u'>' || c == u'\t' || c == u'\r' || c == u'\n';
    }

    bool StartsWith(XmlPosition p, std::u16string_view literal) const
    {
        if (p > m_end || m_end - p < literal.size())
            return false;
        for (std::size_t i = 0; i < literal.size(); ++i)
            if (FoldAscii(m_text[p + i]) != FoldAscii(literal[i]))
                return false;
        return true;
    }

    bool At(XmlPosition p, char16_t c) const { return p < m_end && m_text[p] == c; }

    // Case-insensitive; a single escape character neither starts nor breaks a match.
    XmlPosition FindTerminator(XmlPosition p, std::u16string_view literal, XmlPosition &after) const;

    bool MayDecode(std::u16string_view raw) const
    {
        if (!m_decode)
            return false;
        if (m_ampersandOnly)
            return raw.find(u'&') != std::u16string_view::npos;
        return XmlEntities::MayHold(raw, *m_opt.entities);
    }

    std::u16string_view m_text;
    XmlPosition m_end;
    XmlParseOptions &m_opt;
    const bool m_decode;
    // Every reference of the table starts with "&", so one search tells whether to decode.
    bool m_ampersandOnly = true;
    // Attributes are gathered here and then moved to their node in one allocation.
    std::vector<XmlAttribute> m_attributes;
};

XmlPosition XmlParser::FindTerminator(XmlPosition p, std::u16string_view literal, XmlPosition &after) const
{
    const char16_t esc = m_opt.escape;
    for (XmlPosition i = p; i < m_end; ++i) {
        if (esc != 0 && m_text[i] == esc)
            continue;
        XmlPosition j = i;
        std::size_t k = 0;
        while (k < literal.size()) {
            if (esc != 0 && j < m_end && m_text[j] == esc)
                ++j;
            if (j >= m_end || FoldAscii(m_text[j]) != FoldAscii(literal[k]))
                break;
            ++j;
            ++k;
        }
        if (k == literal.size()) {
            after = j;
            return i;
        }
    }
    return None;
}

void XmlParser::AssignValue(wstring16 &target, XmlPosition a, XmlPosition b)
{
    if (m_opt.trim) {
        while (a < b && IsSpace(m_text[a]))
            ++a;
        while (b > a && IsSpace(m_text[b - 1]))
            --b;
    }
    if (a >= b)
        return;
    std::u16string_view raw = m_text.substr(a, b - a);
    const bool decode = MayDecode(raw);
    const char16_t esc = m_opt.escape;
    if (!decode && (esc == 0 || raw.find(esc) == std::u16string_view::npos)) {
        target.assign(raw);
        return;
    }
    wstring16 taken;
    if (esc != 0 && raw.find(esc) != std::u16string_view::npos) {
        taken.reserve(raw.size());
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == esc) {
                if (++i < raw.size())
                    taken.push_back(raw[i]);
            } else {
                taken.push_back(raw[i]);
            }
        }
    } else {
        taken.assign(raw);
    }
    if (decode)
        taken = XmlEntities::Decode(taken, *m_opt.entities);
    target = std::move(taken);
}

XmlPosition XmlParser::TakeCharacterData(XmlNode &node, XmlPosition from)
{
    XmlPosition lt = FindHonouringBackslash(from, u'<', m_end);
    AssignValue(node.value, from, lt);
    return lt;
}

XmlPosition XmlParser::ReadAttributes(XmlNode &node, XmlPosition p, XmlPosition limit, bool instruction)
{
    m_attributes.clear();
    XmlPosition end = GatherAttributes(node, p, limit, instruction);
    node.attributes.reserve(node.attributes.size() + m_attributes.size());
    for (XmlAttribute &attribute : m_attributes)
        node.attributes.push_back(std::move(attribute));
    return end;
}

XmlPosition XmlParser::GatherAttributes(XmlNode &node, XmlPosition p, XmlPosition limit, bool instruction)
{
    while (p < limit) {
        p = SkipSpace(p, limit);
        if (p >= limit)
            break;
        if (m_text[p] == u'>' || m_text[p] == u'/')
            return p;
        XmlPosition stop = p;
        while (stop < limit && m_text[stop] != u' ' && m_text[stop] != u'=')
            ++stop;
        if (stop >= limit)
            stop = None;
        if (stop == None) {
            if (instruction)
                return limit;
            m_opt.RecordError(XmlParseError::AttributeMalformed, p, node.name);
            return None;
        }
        m_attributes.emplace_back();
        XmlAttribute &attribute = m_attributes.back();
        attribute.parent = &node;
        attribute.name.assign(m_text.substr(p, stop - p));

        p = SkipSpace(stop, limit);
        if (p >= limit || m_text[p] != u'=')
            continue;
        p = SkipSpace(p + 1, limit);
        if (p >= limit)
            break;
        char16_t quote = m_text[p];
        if (quote == u'"' || quote == u'\'') {
            XmlPosition close = FindHonouringBackslash(p + 1, quote, limit);
            AssignValue(attribute.value, p + 1, close);
            p = close < limit ? close + 1 : limit;
        } else {
            // Unquoted: the value runs to the end of the tag, blanks and all.
            XmlPosition close = FindHonouringBackslash(p, u'>', limit);
            AssignValue(attribute.value, p, close);
            p = close;
        }
    }
    return instruction ? limit : None;
}

XmlPosition XmlParser::ReadInstruction(XmlNode &node, XmlPosition p)
{
    XmlPosition start = p + 2;
    XmlPosition after = None;
    XmlPosition term = FindTerminator(start, u"?>", after);
    if (term == None)
        return None;
    if (node.document) {
        auto instruction = std::make_unique<XmlNode>();
        instruction->kind = XmlNodeKind::ProcessingInstruction;
        instruction->parent = node.document;
        instruction->document = node.document;
        // The name stops at white space too, so the pseudo-attributes can be read.
        XmlPosition nameEnd = start;
        while (nameEnd < term && m_text[nameEnd] != u'?' && m_text[nameEnd] != u'>' && !IsSpace(m_text[nameEnd]))
            ++nameEnd;
        instruction->name.assign(m_text.substr(start, nameEnd - start));
        ReadAttributes(*instruction, nameEnd, term, true);
        node.document->children.push_back(std::move(instruction));
    }
    return after;
}

XmlPosition XmlParser::ReadSection(XmlNode *target, XmlNode *document, XmlPosition p, XmlNodeKind kind)
{
    const bool comment = kind == XmlNodeKind::Comment;
    XmlPosition start = p + (comment ? 4 : 9);
    XmlPosition after = None;
    XmlPosition term = FindTerminator(start, comment ? u"-->" : u"]]>", after);
    if (term == None)
        return None;
    if (target) {
        auto section = std::make_unique<XmlNode>();
        section->kind = kind;
        section->name = comment ? u"#COMMENT" : u"#CDATA";
        section->parent = target;
        section->document = document;
        section->value.assign(m_text.substr(start, term - start));
        target->children.push_back(std::move(section));
    }
    return after;
}

XmlParser::Opened XmlParser::Open(XmlNode &node, XmlPosition from, XmlPosition &pos)
{
    node.children.clear();
    node.attributes.clear();

    pos = None;
    XmlPosition p = from < m_end ? m_text.find(u'<', from) : None;
    if (p == std::u16string_view::npos)
        return Opened::Done;
    if (At(p + 1, u'/')) {
        pos = p;
        return Opened::Done;
    }

    const bool insideElement = node.parent && node.parent->kind != XmlNodeKind::Document;
    XmlNode *sectionTarget = node.parent ? node.parent : node.document;
    for (;;) {
        bool consumed = false;
        p = SkipSpace(p, m_end);
        if (StartsWith(p, u"<?")) {
            if ((p = ReadInstruction(node, p)) == None)
                return Opened::Done;
            // As after a comment: what follows is the element's text.
            if (insideElement) {
                pos = p;
                return Opened::Done;
            }
            consumed = true;
        }
        p = SkipSpace(p, m_end);
        if (StartsWith(p, u"<!--")) {
            if ((p = ReadSection(sectionTarget, node.document, p, XmlNodeKind::Comment)) == None)
                return Opened::Done;
            if (insideElement) {
                pos = p;
                return Opened::Done;
            }
            consumed = true;
        }
        p = SkipSpace(p, m_end);
        if (StartsWith(p, u"<![CDATA[")) {
            if ((p = ReadSection(sectionTarget, node.document, p, XmlNodeKind::CData)) == None)
                return Opened::Done;
            if (insideElement) {
                pos = p;
                return Opened::Done;
            }
            consumed = true;
        }
        if (!consumed)
            break;
        // Text after an instruction or a comment is not part of a tag name.
        if (!At(p, u'<')) {
            p = p < m_end ? m_text.find(u'<', p) : None;
            if (p == std::u16string_view::npos)
                return Opened::Done;
        }
        if (At(p + 1, u'/')) {
            pos = p;
            return Opened::Done;
        }
    }

    XmlPosition nameEnd = p + 1;
    while (nameEnd < m_end && !IsNameEnd(m_text[nameEnd]))
        ++nameEnd;
    if (nameEnd >= m_end)
        return Opened::Done;
    if (nameEnd > p + 1)
        node.name.assign(m_text.substr(p + 1, nameEnd - p - 1));

    p = ReadAttributes(node, nameEnd, m_end, false);
    if (p == None)
        return Opened::Done;

    if (m_text[p] == u'/') {
        if (At(p + 1, u'>'))
            pos = p + 2;
        else
            m_opt.RecordError(XmlParseError::SlashWithoutGreater, p);
        return Opened::Done;
    }

    ++p; // past ">"
    if (IsBlank(node.value))
        p = TakeCharacterData(node, p);
    pos = p;
    return Opened::Children;
}

XmlPosition XmlParser::Run(XmlNode &root, XmlPosition from)
{
    XmlPosition pos = None;
    if (Open(root, from, pos) == Opened::Done)
        return pos;

    // The open elements, innermost last; `child` is the node being loaded inside
    // `node` until the child loop decides whether to keep it.
    struct Frame {
        XmlNode *node;
        std::unique_ptr<XmlNode> child;
    };
    std::vector<Frame> stack;
    stack.push_back({&root, nullptr});
    bool childReturned = false;

    for (;;) {
        XmlNode &node = *stack.back().node;
        XmlPosition result = None;
        bool finished = false;

        if (childReturned) {
            childReturned = false;
            if (std::unique_ptr<XmlNode> &child = stack.back().child) {
                if (child->name.empty())
                    child.reset();
                else
                    node.children.push_back(std::move(child));
            }
            if (pos != None) {
                if (At(pos, u'<') && At(pos + 1, u'/')) {
                    XmlPosition p = SkipSpace(pos + 2, m_end);
                    XmlPosition gt = m_text.find(u'>', p);
                    if (gt == std::u16string_view::npos) {
                        m_opt.RecordError(XmlParseError::CloseTagUnterminated, p, node.name);
                        finished = true;
                    } else {
                        std::u16string_view closing = m_text.substr(p, gt - p);
                        pos = gt + 1;
                        if (closing == node.name) {
                            result = pos;
                            finished = true;
                        } else if (!m_opt.tolerant) {
                            m_opt.RecordError(XmlParseError::CloseTagMismatch, pos, node.name, closing);
                            finished = true;
                        }
                    }
                } else if (pos < m_end && m_text[pos] != u'<' && IsBlank(node.value)) {
                    pos = TakeCharacterData(node, pos);
                }
            }
        }

        if (!finished) {
            if (pos == None || pos >= m_end) {
                result = pos == None ? None : m_end;
                finished = true;
            }
        }

        if (!finished) {
            // The child's own first steps, without making a node for a closing tag.
            XmlPosition lt = m_text.find(u'<', pos);
            if (lt == std::u16string_view::npos) {
                pos = None;
                childReturned = true;
                continue;
            }
            if (At(lt + 1, u'/')) {
                pos = lt;
                childReturned = true;
                continue;
            }
            // A section here would make the child stop at once, empty, after adding
            // the section to this node: do just that.
            if (node.kind != XmlNodeKind::Document) {
                XmlNodeKind section = StartsWith(lt, u"<!--") ? XmlNodeKind::Comment
                    : StartsWith(lt, u"<![CDATA[")            ? XmlNodeKind::CData
                                                              : XmlNodeKind::Element;
                if (section != XmlNodeKind::Element) {
                    pos = ReadSection(&node, node.document, lt, section);
                    childReturned = true;
                    continue;
                }
            }
            if (stack.size() >= XmlNode::MaxDepth)
                return None;
            auto child = std::make_unique<XmlNode>();
            child->parent = &node;
            child->document = node.document;
            child->kind = node.kind;
            XmlNode *loading = child.get();
            stack.back().child = std::move(child);
            if (Open(*loading, lt, pos) == Opened::Done)
                childReturned = true;
            else
                stack.push_back({loading, nullptr});
            continue;
        }

        stack.pop_back();
        if (stack.empty())
            return result;
        pos = result;
        childReturned = true;
    }
}

} // namespace

XmlNode::~XmlNode()
{
    // Ordinary trees are freed the ordinary way; below a few hundred levels the
    // rest is flattened with a list of our own so the stack stays bounded.
    thread_local int depth = 0;
    if (depth < 256) {
        ++depth;
        children.clear();
        --depth;
        return;
    }
    std::vector<std::unique_ptr<XmlNode>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<XmlNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto &child : node->children)
            pending.push_back(std::move(child));
        node->children.clear();
    }
}

XmlPosition XmlNode::Load(std::u16string_view text, XmlPosition from, XmlParseOptions &options)
{
    XmlParser parser(text, options);
    return parser.Run(*this, from);
}

bool XmlNode::LoadDocument(std::u16string_view text, XmlParseOptions &options)
{
    children.clear();
    attributes.clear();
    kind = XmlNodeKind::Document;
    document = nullptr;
    auto root = std::make_unique<XmlNode>();
    root->parent = this;
    root->document = this;
    XmlPosition end = root->Load(text, 0, options);
    if (end == XmlNoPosition || root->name.empty())
        return false;
    children.push_back(std::move(root));
    return true;
}

const XmlAttribute *XmlNode::FindAttribute(std::u16string_view attributeName) const
{
    for (const XmlAttribute &attribute : attributes)
        if (attribute.name == attributeName)
            return &attribute;
    return nullptr;
}

const wstring16 *XmlNode::AttributeValue(std::u16string_view attributeName) const
{
    const XmlAttribute *attribute = FindAttribute(attributeName);
    return attribute ? &attribute->value : nullptr;
}

XmlNode *XmlNode::FindChild(std::u16string_view childName) const
{
    for (const auto &child : children)
        if (child->name == childName)
            return child.get();
    return nullptr;
}

std::vector<XmlNode *> XmlNode::FindChildren(std::u16string_view childName) const
{
    std::vector<XmlNode *> found;
    for (const auto &child : children)
        if (child->name == childName)
            found.push_back(child.get());
    return found;
}

wstring16 XmlNode::Text(const XmlTextOptions &options) const
{
    // Children first, then the element's own value; walked with a stack of our own
    // so that a deep tree cannot exhaust the thread's stack.
    struct Visit {
        const XmlNode *node;
        const XmlTextOptions *options;
        std::size_t next;
    };
    wstring16 out;
    std::vector<Visit> stack;
    stack.push_back({this, &options, 0});
    while (!stack.empty()) {
        Visit &visit = stack.back();
        const XmlNode &node = *visit.node;
        switch (node.kind) {
        case XmlNodeKind::ProcessingInstruction:
        case XmlNodeKind::Comment:
            stack.pop_back();
            break;
        case XmlNodeKind::CData:
            out += node.value;
            stack.pop_back();
            break;
        case XmlNodeKind::Document:
        case XmlNodeKind::Element:
        default:
            if (visit.next < node.children.size()) {
                const XmlNode *child = node.children[visit.next++].get();
                const XmlTextOptions *childOptions =
                    node.kind == XmlNodeKind::Document ? visit.options : &DefaultXmlTextOptions;
                stack.push_back({child, childOptions, 0});
            } else {
                if (node.kind != XmlNodeKind::Document) {
                    const XmlTextOptions &own = *visit.options;
                    if (own.encodeEntities && own.entities)
                        out += XmlEntities::Encode(node.value, *own.entities);
                    else
                        out += node.value;
                }
                stack.pop_back();
            }
            break;
        }
    }
    return out;
}

wstring16 XmlNode::ChildText(std::u16string_view childName, const XmlTextOptions &options) const
{
    const XmlNode *child = FindChild(childName);
    return child ? child->Text(options) : wstring16();
}
