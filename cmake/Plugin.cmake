# The plug-in. juce_add_plugin makes `Vellumar`, a static library that holds JUCE's modules, the engine and the
# editor, and one thin target per format (Vellumar_VST3, Vellumar_LV2, Vellumar_Standalone) that adds only JUCE's
# wrapper for that format. The library is compiled once, with one set of definitions, and the offline host, the
# tools, the benchmark and the tests link that same library through `vellumar_core` (below).

set(VELLUMAR_FORMATS VST3 LV2 Standalone)

juce_add_plugin(Vellumar
    PRODUCT_NAME "Vellumar"
    DESCRIPTION "Reverb with character"
    COMPANY_NAME "Quelt"
    COMPANY_WEBSITE "https://quelt.example"
    BUNDLE_ID "com.quelt.vellumar"
    PLUGIN_MANUFACTURER_CODE QULT
    PLUGIN_CODE VLMR
    VERSION 1.0.1
    FORMATS ${VELLUMAR_FORMATS}
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT FALSE
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    VST3_CATEGORIES Fx Reverb
    COPY_PLUGIN_AFTER_BUILD FALSE)

set(VELLUMAR_SOURCES ${VELLUMAR_ENGINE_SOURCES} ${VELLUMAR_EDITOR_SOURCES})
target_sources(Vellumar PRIVATE ${VELLUMAR_SOURCES})
set_source_files_properties(${VELLUMAR_SOURCES} PROPERTIES COMPILE_OPTIONS "${VELLUMAR_WARNING_FLAGS}")
# Nothing in the engine reads floating-point exception flags. Without that promise the compiler keeps every
# comparison in a sample loop as a branch (a comparison may raise one), so clamps and selections stop the loop from
# running on several samples at once. Every result stays the same, bit for bit.
set_source_files_properties(${VELLUMAR_ENGINE_SOURCES} PROPERTIES COMPILE_OPTIONS "${VELLUMAR_WARNING_FLAGS};-fno-trapping-math")
target_include_directories(Vellumar PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(Vellumar SYSTEM PRIVATE "${JUCE_MODULES_DIR}")

target_compile_definitions(Vellumar
    PUBLIC
        ${VELLUMAR_COMMON_DEFINITIONS}
        ${VELLUMAR_RESOURCE_DEFINITIONS}
        JUCE_VST3_CAN_REPLACE_VST2=0
        # The LV2 URI that hosts' saved sessions name. Debian's JUCE sets JucePlugin_LV2URI to the product name
        # wherever it is undefined, before its LV2 wrapper reads the header generated from juce_add_plugin's LV2URI,
        # so that keyword would change nothing; the URI is given as the macro itself.
        JucePlugin_LV2URI="urn:quelt:vellumar")

target_link_libraries(Vellumar
    PRIVATE
        ${VELLUMAR_JUCE_MODULES}
    PUBLIC
        juce::juce_recommended_config_flags
        ${VELLUMAR_RESOURCE_TARGETS}
        PkgConfig::VELLUMAR_IMAGE_LIBS
        ${VELLUMAR_FFT_LIBS})

add_custom_command(TARGET Vellumar_LV2 POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -DTTL=$<TARGET_FILE_DIR:Vellumar_LV2>/dsp.ttl -DURI=urn:quelt:vellumar
            -P "${CMAKE_SOURCE_DIR}/cmake/AddLv2Category.cmake"
    VERBATIM)

# Everything else that runs the plug-in's code links it through this target. JUCE keeps the modules' include
# paths and definitions private to the library (its format wrappers re-read them the same way), so they are passed
# on here: every file that includes a JUCE header sees the configuration the library was compiled with.
pkg_check_modules(VELLUMAR_GUI_LIBS REQUIRED IMPORTED_TARGET freetype2 fontconfig alsa)
add_library(vellumar_core INTERFACE)
target_link_libraries(vellumar_core INTERFACE Vellumar PkgConfig::VELLUMAR_GUI_LIBS ${CMAKE_DL_LIBS} pthread)
target_include_directories(vellumar_core INTERFACE $<TARGET_PROPERTY:Vellumar,INCLUDE_DIRECTORIES>)
target_compile_definitions(vellumar_core INTERFACE $<TARGET_PROPERTY:Vellumar,COMPILE_DEFINITIONS>)

# JUCE opens libX11 at run time and closes it as the Standalone quits, before LeakSanitizer looks: what only
# libX11's own globals still pointed to would then be reported as leaked, from a library no longer there to name.
# Linked from the start, libX11 stays loaded to the end.
if(VELLUMAR_SANITIZE)
    target_link_libraries(Vellumar_Standalone PRIVATE "-Wl,--push-state,--no-as-needed" X11 "-Wl,--pop-state")
endif()
