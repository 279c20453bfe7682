# The plug-in: VST3, LV2 and Standalone from one target.

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
    LV2_URI "urn:quelt:vellumar"
    LV2_SHARED_LIBRARY_NAME Vellumar
    COPY_PLUGIN_AFTER_BUILD FALSE)

target_sources(Vellumar PRIVATE ${VELLUMAR_ENGINE_SOURCES} ${VELLUMAR_EDITOR_SOURCES})
target_include_directories(Vellumar PRIVATE ${CMAKE_SOURCE_DIR})

target_compile_definitions(Vellumar
    PUBLIC
        ${VELLUMAR_COMMON_DEFINITIONS}
        ${VELLUMAR_RESOURCE_DEFINITIONS}
        JUCE_VST3_CAN_REPLACE_VST2=0
        # Debian's JUCE CMake drops the LV2 URI; the wrapper reads this macro instead.
        JucePlugin_LV2URI="urn:quelt:vellumar")

target_link_libraries(Vellumar
    PRIVATE
        ${VELLUMAR_RESOURCE_TARGETS}
        ${VELLUMAR_JUCE_MODULES}
        PkgConfig::VELLUMAR_IMAGE_LIBS
        ${VELLUMAR_FFT_LIBS}
    PUBLIC
        juce::juce_recommended_config_flags
        juce::juce_recommended_lto_flags
        juce::juce_recommended_warning_flags)

add_custom_command(TARGET Vellumar_LV2 POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -DTTL=$<TARGET_FILE_DIR:Vellumar_LV2>/dsp.ttl -DURI=urn:quelt:vellumar
            -P "${CMAKE_SOURCE_DIR}/cmake/AddLv2Category.cmake"
    VERBATIM)
