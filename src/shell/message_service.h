#pragma once
// Every message box and question of the program goes through one MessageService. The window program
// installs one that shows a QMessageBox; tests install one that records and answers from a script;
// kyt-cli installs one that prints and asks on the terminal.

#include <optional>
#include <string>

namespace kyt {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MsgAnswer { OK, Cancel, Yes, No };

// The answer of a box's first button (OK or Yes).
constexpr MsgAnswer FirstAnswer(MsgButtons buttons)
{
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::Yes : MsgAnswer::OK;
}

class MessageService {
public:
    virtual ~MessageService() = default;
    // `title` empty means the default (application) title. Enter answers the first button.
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons)
    {
        return ask(text, title, icon, buttons, FirstAnswer(buttons));
    }
    // A question whose Yes deletes or replaces something names the safe answer as the one Enter gives.
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                   MsgAnswer defaultAnswer)
    {
        return ask(text, title, icon, buttons, defaultAnswer);
    }
    // The password of `login` for the database server at `address`, asked in a login box; nothing when
    // the officer cancels, or where no one can be asked.
    virtual std::optional<std::string> askPassword(const std::string& /*address*/, const std::string& /*login*/)
    {
        return std::nullopt;
    }

protected:
    virtual MsgAnswer ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                          MsgAnswer defaultAnswer) = 0;
};

}  // namespace kyt
