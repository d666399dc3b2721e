#pragma once

// The maker's web site: the home page (also the caption of the link on the Other tab, and named in
// its tooltips) and the order page. A macro so that captions can join it to their own text.
#define KESTREL_WEB_HOME "http://www.velmora.example"

namespace kestrel::app::weblinks {

inline constexpr char kHome[] = KESTREL_WEB_HOME;
inline constexpr char kOrder[] = KESTREL_WEB_HOME "/order.html";

} // namespace kestrel::app::weblinks
