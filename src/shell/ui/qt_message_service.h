#pragma once
// The window program's message service: every message and question is a QMessageBox.

#include "shell/message_service.h"

namespace kyt {

class QtMessageService : public MessageService {
public:
    // A message with an empty title carries the product name, "Kyt".
    std::optional<std::string> askPassword(const std::string& address, const std::string& login) override;

protected:
    MsgAnswer ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                  MsgAnswer defaultAnswer) override;
};

}  // namespace kyt
