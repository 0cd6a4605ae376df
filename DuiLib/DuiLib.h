// Our own XML-skinned direct-UI toolkit: one window, a tree of windowless
// controls built from a skin file, painted and driven by a paint manager.
// Include this header only; it brings every public class of the toolkit.
#pragma once

#include "DuiLib/UIBase.h"
#include "DuiLib/UIMarkup.h"
#include "DuiLib/UIControl.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UILabel.h"
#include "DuiLib/UIButton.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UICombo.h"
#include "DuiLib/UIEdit.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UIColorScheme.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/WindowWnd.h"
#include "DuiLib/ScopedWin.h"
#include "DuiLib/BoundaryGuard.h"
