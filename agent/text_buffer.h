// text_buffer.h - where texts handed to callers live (internal).
#ifndef XELAGT_TEXT_BUFFER_H
#define XELAGT_TEXT_BUFFER_H

#include <string>

namespace xelagt {

// Copies text into the calling thread's buffer and returns it. The copy stays valid until
// the thread's next call that hands out a text, whatever other threads do to the object
// it came from. May throw std::bad_alloc.
char* hand_out(const std::string& text);

}  // namespace xelagt

#endif  // XELAGT_TEXT_BUFFER_H
