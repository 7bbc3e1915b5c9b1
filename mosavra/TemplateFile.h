#pragma once

#include "mosavra/MosavraTypes.h"

#include <QString>

// The file that keeps the creator's layouts, "templates.xml" in the user content library
// root, shared by every creator window:
//
//   <templates>
//     <template name="…" zoom="32" sample="50" locked="0" fixtureType="0"
//               scale="0.250000 0.250000 0.500000 0.500000">
//       <fixture pos="0.500000 0.500000" scale="0.125000 0.125000" num="1" type="0"/>
//     </template>
//   </templates>
//
// Numbers are written and read in the C locale whatever the user's locale is, and read
// through single precision as they always were. No widgets; any thread.
namespace TemplateFile {

// Where the layouts live: "templates.xml" in the "ContentLibraryRoot:" folder.
QString DefaultPath();

// The templates of the file at `path`, in file order. A missing or unreadable file gives
// none; reading stops at the first malformed part and keeps what came before it. An
// attribute that is missing or holds no readable number takes its default; a fixture
// takes its template's family, and one ahead of every template is dropped.
MosavraTypes::TemplateList Read(const QString& path);

// Rewrites the file whole from `templates` (selection, stamps and images are not kept).
// Atomic: false, with the previous file left whole, when it cannot be written.
bool Write(const QString& path, const MosavraTypes::TemplateList& templates);

} // namespace TemplateFile
