#include "tools/ActionRow.h"

#include "platform/WideString.h"

#include <climits>

const ActionRow::Header ActionRow::kHeaders[ColumnCount] = {
    {u"序号", 30},
    {u"描述", 80},
    {u"x坐标1", 60},
    {u"x坐标2", 60},
    {u"y坐标1", 60},
    {u"y坐标2", 60},
    {u"flashIndex", 0},
    {u"重试次数", 60},
    {u"执行次数", 60},
    {u"循环次数", 60},
    {u"重复时间间隔", 90},
    {u"Id", 0},
    {u"action", 0},
    {u"延迟", 60},
    {u"languang", 60},
};

bool ActionRow::IsRecordWord(std::u16string_view body)
{
    return body == u"DoClick" || body == u"DoDraw" || body == u"DoScroll";
}

std::u16string_view ActionRow::KindWord(std::u16string_view body)
{
    if (body == u"DoDraw")
        return u"散点";
    if (body == u"DoScroll")
        return u"滚动";
    return u"点击";
}

wstring16 ActionRow::NewId(DWORD tick, const std::function<bool(const wstring16 &)> &taken)
{
    // "%i" of the tick count, as a signed number like the text it always was.
    auto number = static_cast<int>(tick);
    for (;;) {
        wstring16 id = u"id" + WideString::FromInt(number);
        if (!taken || !taken(id))
            return id;
        number = number == INT_MAX ? INT_MIN : number + 1;
    }
}
