// The revision-control identification of this build, kept in the binary for
// tools such as `strings` or `what`; no code reads it.
#include "jxel_revision.h"

namespace {

#if defined(__GNUC__)
__attribute__((used))
#endif
const char* const revisionId = "@(#)JXelAgtbase " JXEL_REVISION_TEXT;

}  // namespace
