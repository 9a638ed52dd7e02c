#pragma once

// Moved to the widget-support library; this header stays until every includer
// has switched to "widgets/MessageBox.h".
#include "widgets/MessageBox.h"
