#include "libreoffice.h"

#include <QProcess>

namespace kyt::test {

bool libreOfficeConvert(const std::vector<std::string>& files, const std::string& format, const std::string& outDir,
                        const std::string& profileDir)
{
    QStringList args = {"300", "soffice", QString::fromStdString("-env:UserInstallation=file://" + profileDir),
                        "--headless", "--norestore", "--convert-to", QString::fromStdString(format), "--outdir",
                        QString::fromStdString(outDir)};
    for (const std::string& f : files)
        args << QString::fromStdString(f);
    QProcess soffice;
    soffice.setStandardOutputFile(QProcess::nullDevice());
    soffice.setStandardErrorFile(QProcess::nullDevice());
    soffice.start("timeout", args);
    return soffice.waitForFinished(-1) && soffice.exitStatus() == QProcess::NormalExit && soffice.exitCode() == 0;
}

}  // namespace kyt::test
