#pragma once

#include <cstdint>

namespace kestro {

// Flags of Font::RenderText. The low values match the native text drawing's
// own flags so they can be handed on unchanged.
inline constexpr uint32_t TextCentre = 0x1;
inline constexpr uint32_t TextRight = 0x2;
inline constexpr uint32_t TextVerticalCentre = 0x4;
inline constexpr uint32_t TextBottom = 0x8;
inline constexpr uint32_t TextSingleLine = 0x20;  // a line feed is drawn as a space
inline constexpr uint32_t TextNoClip = 0x100;
inline constexpr uint32_t TextMeasure = 0x400;    // compute the rectangle, draw nothing
inline constexpr uint32_t TextNoPrefix = 0x800;   // added on the native path
inline constexpr uint32_t TextUseColourAlpha = 0x40000000;  // opacity scaled by the colour's alpha
inline constexpr uint32_t TextNoNativePath = 0x80000000;

inline constexpr uint32_t TextAlignmentMask = TextCentre | TextRight | TextVerticalCentre | TextBottom;

// Flags of Font::SetFromPlatformFont.
inline constexpr uint32_t FontLowGlyphsOnly = 0x4;  // codes 0..127 only, rendered at once
inline constexpr uint32_t FontNoAntialias = 0x40;
inline constexpr uint32_t FontOwnsPlatformFont = 0x200;
inline constexpr uint32_t FontAllowNativePath = 0x400;
// Rotated layouts, mask smoothing, inverted masks and effects: the native
// path cannot do them, and the glyph path here does not implement them.
inline constexpr uint32_t FontEffectFlags = 0x1F7;

}  // namespace kestro
