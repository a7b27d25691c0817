// Attaches the colouring engine to a source document's text.
#pragma once

#include <QFont>

class QObject;
class QString;
class QTextDocument;

namespace korvan::shell {

// Returns the colouring object, owned by the document (null when the engine is not built).
QObject* attachSyntaxColouring(QTextDocument* document);

// Colours the document as its file calls for: assembly for .src, .def, .s and .asm sources, C
// for every other file. Call it before the file's text is loaded: a change of colouring
// recolours the whole text. `colouring` is what attachSyntaxColouring returned.
void selectSyntaxColouring(QObject* colouring, const QString& path);

// The editor's fixed-pitch face at 10 points, the one the colouring uses.
QFont editorFont();

}  // namespace korvan::shell
