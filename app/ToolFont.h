#pragma once
// The one font of the windows: a plain sans serif at 8 points, the size the layout's twips
// were chosen for, so that every caption fits in every language.

namespace tabsend {

void UseToolFont();

}  // namespace tabsend
