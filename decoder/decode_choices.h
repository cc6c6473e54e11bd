// The listener's decode choices live in the library's public interface.
#pragma once

#include <corvina/decode_choices.h>
