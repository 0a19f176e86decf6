#pragma once
// The two label fonts: the program's own narrow sans-serif faces (regular and bold), registered
// under the family the label templates name, "Arial Narrow".

#include <cstdint>
#include <span>

namespace vgl {

/// Family under which the label fonts are registered.
inline constexpr const char16_t* LabelFontFamily = u"Arial Narrow";

/// Registers the two faces held in memory under the family "Arial Narrow" and makes that family
/// the fallback. A face whose bytes are already registered there is not added again, so the
/// call may be repeated. Afterwards both styles must resolve to the given faces themselves, not
/// to a fallback family or a simulated style: otherwise (bytes that are no font, a regular face
/// given as the bold one, a face that another one hides) it raises EInvalidOperation naming the
/// face, since text set in a substitute would have other widths.
void RegisterLabelFonts(std::span<const std::uint8_t> regular, std::span<const std::uint8_t> bold);

// RegisterLabelFonts() (font_registry.h) registers the faces embedded in the program (resources
// "LiberationSansNarrow-Regular" and "LiberationSansNarrow-Bold" of type "FONT") through the
// function above.

} // namespace vgl
