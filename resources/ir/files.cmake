# The embedded impulse responses, one by one: a missing file breaks the build.
set(VELLUMAR_IR_NAMES
    Plate1A.mp3 Plate1B.mp3
    Plate2A.mp3 Plate2B.mp3
    Plate3A.mp3 Plate3B.mp3
    Plate4A.mp3 Plate4B.mp3
    Plate5A.mp3 Plate5B.mp3
    Room1A.mp3 Room1B.mp3
    Room2A.mp3 Room2B.mp3
    Room3A.mp3 Room3B.mp3
    Room4A.mp3 Room4B.mp3
    Room5A.mp3 Room5B.mp3
    Spring1A.mp3 Spring1B.mp3
    Spring2A.mp3 Spring2B.mp3
    Spring3A.mp3 Spring3B.mp3
    Spring4A.mp3 Spring4B.mp3
    Spring5A.mp3 Spring5B.mp3
    Hall1A.mp3 Hall1B.mp3
    Hall2A.mp3 Hall2B.mp3
    Hall3A.mp3 Hall3B.mp3
    Hall4A.mp3 Hall4B.mp3
    Hall5A.mp3 Hall5B.mp3
    Space1A.mp3 Space1B.mp3
    Space2A.mp3 Space2B.mp3
    Space3A.mp3 Space3B.mp3
    Space4A.mp3 Space4B.mp3
    Space5A.mp3 Space5B.mp3
)
