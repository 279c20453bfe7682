# JUCE's modules built as a plug-in host, for the test programs that load the built VST3 and LV2 bundles as a DAW
# does. They run the shipped binaries, not the library, so they need none of the plug-in's code; hosting stays
# out of the plug-in itself, which would otherwise carry the VST3 SDK's hosting side and a copy of lilv.

add_library(vellumar_test_host STATIC)
target_link_libraries(vellumar_test_host
    PRIVATE
        juce::juce_audio_utils
        juce::juce_audio_processors
        juce::juce_gui_basics
        juce::juce_events
        juce::juce_core
        juce::juce_recommended_config_flags
    PUBLIC
        PkgConfig::VELLUMAR_IMAGE_LIBS
        PkgConfig::VELLUMAR_GUI_LIBS ${CMAKE_DL_LIBS} pthread)
target_compile_definitions(vellumar_test_host
    PUBLIC
        ${VELLUMAR_COMMON_DEFINITIONS}
        JUCE_STANDALONE_APPLICATION=1
        JUCE_PLUGINHOST_VST3=1
        JUCE_PLUGINHOST_LV2=1
        JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1)
target_include_directories(vellumar_test_host INTERFACE $<TARGET_PROPERTY:vellumar_test_host,INCLUDE_DIRECTORIES>)
target_compile_definitions(vellumar_test_host INTERFACE $<TARGET_PROPERTY:vellumar_test_host,COMPILE_DEFINITIONS>)

# JUCE's LV2 hosting calls C callbacks through function pointer types that differ from the callees' in constness
# only; the function-type check would stop the test hosts on those calls, which are JUCE's, not the plug-in's.
# The list is used under a name made from its content: ccache does not read the list, so an edited list must
# change the command line.
if(VELLUMAR_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(VELLUMAR_IGNORELIST "${CMAKE_SOURCE_DIR}/scripts/sanitizer-suppressions/ubsan-ignorelist.txt")
    file(MD5 "${VELLUMAR_IGNORELIST}" VELLUMAR_IGNORELIST_HASH)
    set(VELLUMAR_IGNORELIST_COPY "${CMAKE_BINARY_DIR}/ubsan-ignorelist-${VELLUMAR_IGNORELIST_HASH}.txt")
    configure_file("${VELLUMAR_IGNORELIST}" "${VELLUMAR_IGNORELIST_COPY}" COPYONLY)
    target_compile_options(vellumar_test_host PRIVATE "-fsanitize-ignorelist=${VELLUMAR_IGNORELIST_COPY}")
endif()

# The bundles link FFTW, whose planner keeps its tables in the library's own globals. A test host that unloads a
# bundle would unload FFTW with it, and LeakSanitizer would then report those tables, no longer referenced from
# anywhere, as leaked from a library it cannot name. Linked from the start, FFTW stays loaded to the end.
if(VELLUMAR_SANITIZE AND VELLUMAR_FFTW)
    target_link_libraries(vellumar_test_host INTERFACE "-Wl,--push-state,--no-as-needed" fftw3f "-Wl,--pop-state")
endif()
