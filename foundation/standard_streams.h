#pragma once

// Standard input, output and error pass bytes unchanged from here on (the
// Windows C runtime starts them in text mode, which adds and drops "\r").
void UseBinaryStandardStreams();
