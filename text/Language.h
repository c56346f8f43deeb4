#pragma once

namespace qm {

// The language the operator reads: of the window's captions, the messages, the viewer and the
// command line. Russian is the design language and the one every start shows.
enum class Language { Russian, English };

}  // namespace qm
