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

std::string pdfText(const std::string& pdf)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", {QString::fromStdString(pdf), "-"});
    if (!pdftotext.waitForFinished(-1) || pdftotext.exitStatus() != QProcess::NormalExit || pdftotext.exitCode() != 0)
        return {};
    return pdftotext.readAllStandardOutput().toStdString();
}

}  // namespace kyt::test
