#include "extract/error_log.h"

#include <QFile>

#include "word/utf8.h"

namespace kyt {

std::string LogSafeName(std::string_view name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string safe;
    safe.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        const size_t n = word::Utf8Length(name.substr(at));
        const auto c = static_cast<unsigned char>(name[at]);
        if (n > 1 || (n == 1 && c >= 0x20 && c != 0x7F)) {
            safe.append(name.substr(at, n));
            at += n;
            continue;
        }
        if (c == '\t')
            safe += "\\t";
        else if (c == '\r')
            safe += "\\r";
        else if (c == '\n')
            safe += "\\n";
        else
            safe += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        ++at;
    }
    return safe;
}

ErrorLogFile::ErrorLogFile() = default;

ErrorLogFile::~ErrorLogFile()
{
    close();
}

void ErrorLogFile::fail(const std::string& what)
{
    failed_ = true;
    lastError_ = what;
}

bool ErrorLogFile::open(const std::string& path)
{
    close();
    path_ = path;
    lastError_.clear();
    failed_ = false;
    // Unbuffered: each record goes to the disk as it is written, so a full disk shows on that
    // record and an interrupted run keeps every block written before it.
    auto file = std::make_unique<QFile>(QString::fromStdString(path));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        fail("Cannot create the error log " + path + ": " + file->errorString().toStdString());
        return false;
    }
    file_ = std::move(file);
    return true;
}

bool ErrorLogFile::isOpen() const
{
    return file_ != nullptr;
}

bool ErrorLogFile::write(std::string_view text)
{
    if (!file_) {
        fail("The error log is not open.");
        return false;
    }
    const qint64 before = file_->pos();
    const qint64 wanted = static_cast<qint64>(text.size());
    if (file_->write(text.data(), wanted) == wanted)
        return true;
    fail("Cannot write to the error log " + path_ + ": " + file_->errorString().toStdString());
    // Cut off whatever part of the record reached the disk; the next record starts clean.
    if (!file_->isSequential()) {
        file_->resize(before);
        file_->seek(before);
    }
    return false;
}

bool ErrorLogFile::close()
{
    if (!file_)
        return true;
    file_->unsetError();
    file_->close();  // a network drive may report a lost write only here
    const bool closed = file_->error() == QFileDevice::NoError;
    if (!closed)
        fail("Cannot write to the error log " + path_ + ": " + file_->errorString().toStdString());
    file_.reset();
    return closed;
}

}  // namespace kyt
