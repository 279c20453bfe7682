#pragma once

/** The plug-in's state block where Ardour keeps it in a saved session, for the round trip of roundtrip.sh:

      vellumar-export-check select FILE TYPE NUMBER [ID=VALUE...]
          rewrites the state so that it selects the response pair TYPE (0 Plate .. 4 Space) and NUMBER (1 .. 5)
          and holds each parameter ID at VALUE, keeping everything else
      vellumar-export-check expect FILE NAME=VALUE...
          checks the state: irType and irNumber are the root's properties, any other NAME is a parameter's ID

    FILE is the session file, which holds a VST3's state, or the state.ttl of an LV2's state folder. Returns the
    process's exit status.
*/
int savedStateMain (int argc, char* argv[]);
