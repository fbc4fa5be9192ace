// A status that the plug-in does not examine by design is dropped visibly, with the reason.
#pragma once

namespace Velmora {

// Discards the result of a call whose outcome changes nothing where it is made; `why` says why.
// Every deliberate discard goes through here, so that none can be told from a forgotten one.
template <class Result>
constexpr void ignoreStatus(const Result& /*result*/, const char* /*why*/) noexcept {}

} // namespace Velmora
