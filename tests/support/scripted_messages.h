#pragma once
// A MessageService for tests: records every message and answers questions from a script.

#include <deque>
#include <string>
#include <vector>

#include "shell/message_service.h"

namespace kyt::test {

struct RecordedMessage {
    std::string text;
    std::string title;
    MsgIcon icon;
    MsgButtons buttons;
    MsgAnswer defaultAnswer = MsgAnswer::OK;  // what Enter would answer
};

class ScriptedMessages : public MessageService {
public:
    // Answers given in order; when the script runs out, OK/Yes-type questions get their first button.
    void setNextAnswer(MsgAnswer answer) { answers_.push_back(answer); }

    const std::vector<RecordedMessage>& messages() const { return messages_; }
    const RecordedMessage& last() const { return messages_.back(); }
    void clear() { messages_.clear(); answers_.clear(); }

protected:
    MsgAnswer ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                  MsgAnswer defaultAnswer) override
    {
        messages_.push_back({text, title, icon, buttons, defaultAnswer});
        const bool yesNo = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel;
        if (answers_.empty())
            return yesNo ? MsgAnswer::Yes : MsgAnswer::OK;
        const MsgAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

private:
    std::deque<MsgAnswer> answers_;
    std::vector<RecordedMessage> messages_;
};

}  // namespace kyt::test
