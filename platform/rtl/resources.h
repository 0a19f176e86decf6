#pragma once
// Resources compiled into the program: files embedded as byte arrays at build time by the CMake
// function vgl_embed_resources, found by name and type.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/rtl/ustring.h"

namespace vgl {

/// The bytes of the resource `name` of `type` (both compared without regard to ASCII case), or
/// nullopt when none is embedded. The bytes live as long as the program.
std::optional<std::span<const std::uint8_t>> FindResource(StringView name, StringView type);

/// Adds a resource to the process-wide table; the generated code of vgl_embed_resources calls
/// it while the program starts. A second resource of the same name and type replaces the first.
void RegisterResource(std::string_view name, std::string_view type, std::span<const std::uint8_t> data);

} // namespace vgl
