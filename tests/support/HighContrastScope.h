// High contrast for one test: the toolkit told that the mode is on (Wine
// refuses SPI_SETHIGHCONTRAST, so the system's own switch cannot be used)
// and the system colours set to a black high-contrast scheme whose colours
// no skin uses, so a pixel tells which role painted it. Everything is put
// back at the end. Include only where the toolkit is linked.
#pragma once

#include <windows.h>

#include <array>

#include "DuiLib/UIColorScheme.h"

namespace testsupport {

// The scheme's colours, 0xRRGGBB as pixels of a rendering read them.
struct HighContrastRgb {
    static constexpr DWORD kWindow = 0x000000;
    static constexpr DWORD kText = 0xFFFFFF;
    static constexpr DWORD kHighlight = 0x1AEBFF;
    static constexpr DWORD kHighlightText = 0x000000;
    static constexpr DWORD kButtonFace = 0x000000;
    static constexpr DWORD kButtonText = 0xFFFFFF;
    static constexpr DWORD kGrayText = 0x3FF23F;
    static constexpr DWORD kHotLight = 0xFFFF00;
};

class HighContrastScope {
public:
    HighContrastScope()
    {
        for (size_t i = 0; i < kIndexes.size(); ++i) m_saved_[i] = ::GetSysColor(kIndexes[i]);
        const std::array<DWORD, 8> rgb = {HighContrastRgb::kWindow,     HighContrastRgb::kText,
                                          HighContrastRgb::kHighlight,  HighContrastRgb::kHighlightText,
                                          HighContrastRgb::kButtonFace, HighContrastRgb::kButtonText,
                                          HighContrastRgb::kGrayText,   HighContrastRgb::kHotLight};
        std::array<COLORREF, 8> colors;
        for (size_t i = 0; i < rgb.size(); ++i)
            colors[i] = RGB((rgb[i] >> 16) & 0xFF, (rgb[i] >> 8) & 0xFF, rgb[i] & 0xFF);
        DuiLib::CColorScheme::SetHighContrastOverride(true);
        m_set_ = ::SetSysColors(static_cast<int>(kIndexes.size()), kIndexes.data(), colors.data()) != FALSE;
    }
    ~HighContrastScope()
    {
        DuiLib::CColorScheme::SetHighContrastOverride(std::nullopt);
        ::SetSysColors(static_cast<int>(kIndexes.size()), kIndexes.data(), m_saved_.data());
    }
    HighContrastScope(const HighContrastScope&) = delete;
    HighContrastScope& operator=(const HighContrastScope&) = delete;
    bool ok() const { return m_set_; }

    static constexpr std::array<INT, 8> kIndexes = {COLOR_WINDOW,        COLOR_WINDOWTEXT, COLOR_HIGHLIGHT,
                                                    COLOR_HIGHLIGHTTEXT, COLOR_BTNFACE,    COLOR_BTNTEXT,
                                                    COLOR_GRAYTEXT,      COLOR_HOTLIGHT};

private:
    std::array<COLORREF, 8> m_saved_ = {};
    bool m_set_ = false;
};

}  // namespace testsupport
