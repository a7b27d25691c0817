// Attaches the colouring engine to a source document's text.
#pragma once

#include <QFont>

class QObject;
class QTextDocument;

namespace korvan::shell {

// Returns the colouring object, owned by the document (null when the engine is not built).
QObject* attachSyntaxColouring(QTextDocument* document);

// The editor's fixed-pitch face at 10 points, the one the colouring uses.
QFont editorFont();

}  // namespace korvan::shell
