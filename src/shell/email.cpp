#include "shell/email.h"

#include <QString>

namespace kyt {

std::string ValidateEmail(std::string& Email)
{
    bool atSeen = false;
    bool dotAfterAt = false;
    bool previousOrdinary = false;
    std::string copy;
    copy.reserve(Email.size());
    // Bytes are walked one by one: '@', '.' and ' ' are single bytes in UTF-8 and never occur inside
    // a multi-byte character, so every other byte is simply ordinary.
    for (char c : Email) {
        if (c != ' ')
            copy.push_back(c);
        if (c == '@' && !dotAfterAt && previousOrdinary) {
            atSeen = true;
            previousOrdinary = false;
        } else if (c == '.' && atSeen && previousOrdinary) {
            dotAfterAt = true;
            previousOrdinary = false;
        } else {
            previousOrdinary = true;
        }
    }
    if (atSeen && dotAfterAt && previousOrdinary)
        Email = QString::fromUtf8(copy.data(), static_cast<qsizetype>(copy.size())).toLower().toStdString();
    else
        Email = "ERR";
    return Email;
}

}  // namespace kyt
