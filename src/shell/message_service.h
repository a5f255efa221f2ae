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

class MessageService {
public:
    virtual ~MessageService() = default;
    // `title` empty means the default (application) title.
    virtual MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) = 0;
    // The password of `login` for the database server at `address`, asked in a login box; nothing when
    // the officer cancels, or where no one can be asked.
    virtual std::optional<std::string> askPassword(const std::string& /*address*/, const std::string& /*login*/)
    {
        return std::nullopt;
    }
};

}  // namespace kyt
