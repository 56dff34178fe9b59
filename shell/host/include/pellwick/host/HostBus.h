#pragma once
// Names of the host's automation interface on the session bus (see
// QuoteWerks.Application.xml beside this file). Shared by the plug-in's adapter and the
// host stand-in so that both sides always agree.

namespace pellwick::hostbus {

inline constexpr char kServiceName[] = "QuoteWerks.Application";
inline constexpr char kObjectPath[] = "/QuoteWerks/Application";
inline constexpr char kInterface[] = "QuoteWerks.Application";

inline constexpr char kErrorNoDocumentOpen[] = "QuoteWerks.Error.NoDocumentOpen";
inline constexpr char kErrorUnknownField[] = "QuoteWerks.Error.UnknownField";

// A host call that has no answer after this long counts as failed (hung or vanished
// host); short enough that the plug-in's window never looks frozen for long.
inline constexpr int kDefaultCallTimeoutMs = 3000;

} // namespace pellwick::hostbus
