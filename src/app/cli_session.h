#pragma once
// What the commands that work on the configured database share: messages on the terminal, the
// --config option, and start-up (configuration, connection, branch list) as the window program does it.

#include <QCommandLineParser>
#include <string>

#include "shell/control.h"
#include "shell/message_service.h"

namespace kyt::cli {

// Messages on the terminal. Questions are asked when someone is there to answer them; otherwise the
// first button (Yes: go on) is taken and said so.
class TerminalMessages : public MessageService {
public:
    // Asked on the terminal without echo; nothing when there is no terminal (the password file, or
    // PGPASSWORD, then has to give it).
    std::optional<std::string> askPassword(const std::string& address, const std::string& login) override;

protected:
    MsgAnswer ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                  MsgAnswer defaultAnswer) override;
};

// Messages on the terminal for commands that change what cannot be changed back unasked (admin, revert):
// a question is answered Yes by --yes, otherwise on the terminal (an empty line gives the answer Enter
// gives in the window, unless that is Yes); with neither, it is answered No (or Cancel) and nothing changes.
class QuestionMessages : public MessageService {
public:
    QuestionMessages(const char* command, bool yes) : command_(command), yes_(yes) {}

protected:
    MsgAnswer ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                  MsgAnswer defaultAnswer) override;

private:
    const char* command_;
    bool yes_;
};

// --config FILE: the configuration to use instead of Kyt.ini beside the program.
void addConfigOption(QCommandLineParser& parser);

// Reads the configuration named by --config, connects and loads the branch list into `control`, with
// `messages` for what start-up tells the officer. Returns 0, or the exit status after saying why on
// standard error: kRefused for a configuration that cannot be used, kFailed when the database is missing
// or cannot be opened. After a failure CloseDown has already run.
int openSession(const QCommandLineParser& parser, const char* command, Control& control, MessageService& messages);

}  // namespace kyt::cli
