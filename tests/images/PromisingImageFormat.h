#pragma once

// A picture format, compiled into the image tests, whose files begin with "PROMISE": its
// reader always says another picture is there and never delivers one, the way a damaged
// file can keep a reader promising. It stops promising after kPromisingImagePromises reads,
// so that a caller that never gives up still ends.
inline constexpr int kPromisingImagePromises = 100;

// The reads tried on such files since the process started.
int PromisingImageReads();
