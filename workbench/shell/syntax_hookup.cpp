// The colouring engine's highlighter on a source document.
#include "syntax_hookup.h"

#include <QFontDatabase>
#include <QTextDocument>

#if KORVAN_HAVE_SYNTAX
#include "syntax/source_highlighter.h"
#endif

namespace korvan::shell {

QObject* attachSyntaxColouring(QTextDocument* document) {
#if KORVAN_HAVE_SYNTAX
    return new SourceHighlighter(document);
#else
    (void)document;
    return nullptr;
#endif
}

void selectSyntaxColouring(QObject* colouring, const QString& path) {
#if KORVAN_HAVE_SYNTAX
    if (auto* highlighter = qobject_cast<SourceHighlighter*>(colouring))
        highlighter->setLanguage(syntax::languageOfFile(path.toStdString()));
#else
    (void)colouring;
    (void)path;
#endif
}

QFont editorFont() {
#if KORVAN_HAVE_SYNTAX
    return SourceHighlighter::editorFont();
#else
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(10);
    return font;
#endif
}

}  // namespace korvan::shell
