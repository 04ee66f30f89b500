// talvora_layout_texts <layout folder> <output.cpp>: writes the texts of every layout file of the
// folder as QT_TRANSLATE_NOOP entries, which lupdate reads into the translations (the
// talvora_lupdate target runs it). The output is for lupdate alone and never compiled.
#include "ui/toolkit/LayoutTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>

#include <cstdio>

namespace {

// A C string literal of `text`.
QString Literal(const QString& text)
{
    QString literal = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            literal += QLatin1Char('\\') + QString(c);
        else if (c == QLatin1Char('\n'))
            literal += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            literal += QStringLiteral("\\t");
        else
            literal += c;
    }
    return literal + QLatin1Char('"');
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: talvora_layout_texts <layout folder> <output.cpp>\n");
        return 2;
    }
    const QDir folder(arguments[1]);
    const QStringList layouts = folder.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    if (layouts.isEmpty()) {
        std::fprintf(stderr, "talvora_layout_texts: no layout files in %s\n", qPrintable(arguments[1]));
        return 1;
    }

    QSaveFile output(arguments[2]);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Text)) {
        std::fprintf(stderr, "talvora_layout_texts: %s: %s\n", qPrintable(arguments[2]), qPrintable(output.errorString()));
        return 1;
    }
    QTextStream out(&output);
    out << "// The texts of the skin's layout files, written by talvora_layout_texts for lupdate.\n"
           "// Generated: edit the layouts, not this file.\n"
           "static const char* const kLayoutTexts[] = {\n";
    for (const QString& layout : layouts) {
        QFile file(folder.filePath(layout));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "talvora_layout_texts: %s: %s\n", qPrintable(file.fileName()), qPrintable(file.errorString()));
            return 1;
        }
        const QString context = LayoutTexts::Context(layout.toStdWString());
        QSet<QString> seen;
        for (const LayoutTexts::Entry& entry : LayoutTexts::Collect(file.readAll())) {
            if (seen.contains(entry.text))
                continue;
            seen.insert(entry.text);
            // The translator's note: where the text stands.
            out << "    //: <" << entry.element;
            if (!entry.name.isEmpty())
                out << " name=\"" << entry.name << '"';
            out << "> " << entry.attribute << '\n';
            out << "    QT_TRANSLATE_NOOP(" << Literal(context) << ", " << Literal(entry.text) << "),\n";
        }
    }
    out << "};\n";
    if (!output.commit()) {
        std::fprintf(stderr, "talvora_layout_texts: %s: %s\n", qPrintable(arguments[2]), qPrintable(output.errorString()));
        return 1;
    }
    return 0;
}
