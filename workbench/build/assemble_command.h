// The Assemble command of source windows (32773): saves the source, hands it to the assembler
// library, then goes on to the monitor or shows the diagnostics in the error list.
#pragma once

#include <memory>

class ListErreur;

namespace korvan::shell {
class CKorvanApp;
class CKorvanView;
}  // namespace korvan::shell

namespace korvan::build {

class CErreurDoc;

// Gives every source view of app the Assemble command; call before app.start().
void installBuildCommands(shell::CKorvanApp& app);

// Assembles the document of view: saved first when it has unsaved changes, then AsmFile over
// its path with the "REPERTOIRE"/"DEF" folder as the assembler's working directory. Going on
// to the monitor records the path as the last built source and runs the monitor-window
// command; any other outcome fills the error list and forgets the last built source. When the
// save fails (or the document has no file name yet) the user is told and nothing is built:
// the file on disk is not the text in the window.
void assembleView(shell::CKorvanApp& app, shell::CKorvanView& view);

// The error-list document, or null when its window is not open.
CErreurDoc* findErrorListDocument(shell::CKorvanApp& app);

// Gives list to the error-list document: a new window when there is none, otherwise the
// existing window named "Liste des erreurs" is brought to the front.
CErreurDoc* showErrorList(shell::CKorvanApp& app, std::unique_ptr<ListErreur> list);

}  // namespace korvan::build
