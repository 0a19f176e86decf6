#pragma once
// The process-wide registry of language grammars: each language name maps to the whole text of
// its grammar XML. Filled at start-up (InitializeScriptEngine) and only read afterwards.

#include "platform/rtl/ustring.h"

namespace vgl {

/// Adds the grammar under `name`, or replaces the grammar of that name (compared without case).
void fsAddLanguageGrammar(const String& name, const String& grammar);
/// The grammar registered under `name` (compared without case). Raises Exception "Language
/// '%s' not found" (the script message SLangNotFound) when there is none.
String fsLanguageGrammar(const String& name);
/// Empties the registry (finalization).
void fsClearLanguageGrammars();

} // namespace vgl
