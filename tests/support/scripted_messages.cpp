#include "support/scripted_messages.h"

namespace kyt::test {

MsgAnswer ScriptedMessages::show(const std::string& text, const std::string& title, MsgIcon icon,
                                 MsgButtons buttons)
{
    messages_.push_back({text, title, icon, buttons});
    if (!answers_.empty()) {
        MsgAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    case MsgButtons::OK:
    case MsgButtons::OKCancel:
        break;
    }
    return MsgAnswer::OK;
}

}  // namespace kyt::test
