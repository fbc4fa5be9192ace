#include "SerializerException.h"

namespace KorvaneUtil {

// Out of line so that the vtable lives in one object file.
SerializerException::~SerializerException() = default;

} // namespace KorvaneUtil
