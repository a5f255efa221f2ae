// kyt-cli tables FILE...: shows how Kyt reads the tables of documents, so that an officer can see why
// a résumé was refused.

#include <cstdio>
#include <string>

#include "app/cli.h"
#include "extract/validation.h"
#include "word/application.h"

namespace {

std::string escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\v': out += "\\v"; break;
        case '\n': out += "\\n"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c < 0x20) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

int tables(const kyt::cli::Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Prints every table cell of the documents as Kyt reads it: table, row, cell, text.");
    parser.addPositionalArgument("FILE", "A document (.docx, or .doc/.rtf/.odt through LibreOffice).", "FILE...");
    int parsed = 0;
    if (!kyt::cli::parse(parser, "tables", given, parsed))
        return parsed;
    const kyt::cli::Args args = kyt::cli::positional(parser);
    if (args.empty())
        return kyt::cli::usageError(parser, "tables", "no document given");
    std::string error;
    auto app = kyt::word::Application::start(error);
    if (!app) {
        std::fprintf(stderr, "kyt-cli tables: %s\n", error.c_str());
        return kyt::cli::kFailed;
    }
    app->prepare(args);
    int status = 0;
    for (const std::string& path : args) {
        auto document = app->open(path, error);
        if (!document) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            status = 1;
            continue;
        }
        if (args.size() > 1)
            std::printf("==> %s <==\n", path.c_str());
        for (int t = 1; t <= document->tableCount(); ++t) {
            const auto* table = document->table(t);
            for (size_t r = 0; r < table->rows.size(); ++r) {
                const auto& row = table->rows[r];
                for (size_t c = 0; c < row.size(); ++c) {
                    std::string text = row[c];
                    std::printf("%d\t%zu\t%zu\t%s\n", t, r + 1, c + 1, escaped(kyt::CleanCellText(text)).c_str());
                }
            }
        }
    }
    return status;
}

}  // namespace

KYT_CLI_COMMAND("tables", "tables FILE...   print every table cell as Kyt reads it (table, row, cell, text)", tables);
