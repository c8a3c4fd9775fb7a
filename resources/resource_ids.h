#pragma once

// Resource identifiers shared by corvalo.rc and the code that loads them.
#define IDI_APPLICATION_ICON 1
#define IDB_DEFAULT_PICTURE 101
#define IDB_GLYPH_TICK 102
#define IDB_GLYPH_GEAR 103
