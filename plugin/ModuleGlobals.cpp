// Globals the module must hold although none of its code names them: the geometry's default
// logger exists from module load to unload. The reference (external, so it is kept) makes the
// linker take the logger's object from the geometry library.
#include "Logger.h"

namespace Velmora {
extern const std::unique_ptr<KorvaneUtil::Logger>* const g_moduleLogger;
const std::unique_ptr<KorvaneUtil::Logger>* const g_moduleLogger = &g_logger;
} // namespace Velmora
