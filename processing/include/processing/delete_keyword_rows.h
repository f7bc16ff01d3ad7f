#pragma once
#include "core/session.h"

namespace tabrovin {

// Deletes every row whose column chosen in Combo1 contains the keyword in
// Text2 ('%' matches any run of characters, a quote matches itself), and
// reports the rows left. An empty keyword is refused. Errors are shown with
// the title "删除2出错 # " + number, and the buttons are enabled again.
void deleteKeywordRows(Session& s);

}  // namespace tabrovin
