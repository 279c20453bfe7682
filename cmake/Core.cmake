# A static library with JUCE, the engine and the editor for the offline host, tools, tests and benchmarks.
# The module sources are compiled into it once; consumers inherit its include paths and definitions.

add_library(vellumar_core STATIC ${VELLUMAR_ENGINE_SOURCES} ${VELLUMAR_EDITOR_SOURCES})
target_include_directories(vellumar_core PUBLIC ${CMAKE_SOURCE_DIR})

target_compile_definitions(vellumar_core
    PUBLIC
        ${VELLUMAR_COMMON_DEFINITIONS}
        ${VELLUMAR_RESOURCE_DEFINITIONS}
        JUCE_STANDALONE_APPLICATION=1
        JUCE_PLUGINHOST_VST3=1
        JUCE_PLUGINHOST_LV2=1
        JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1)

target_link_libraries(vellumar_core
    PRIVATE
        ${VELLUMAR_JUCE_MODULES}
        juce::juce_recommended_config_flags
        juce::juce_recommended_warning_flags
    PUBLIC
        ${VELLUMAR_RESOURCE_TARGETS}
        PkgConfig::VELLUMAR_IMAGE_LIBS
        ${VELLUMAR_FFT_LIBS})

pkg_check_modules(VELLUMAR_GUI_LIBS REQUIRED IMPORTED_TARGET freetype2 fontconfig alsa)
target_link_libraries(vellumar_core PUBLIC PkgConfig::VELLUMAR_GUI_LIBS ${CMAKE_DL_LIBS} pthread)

# Consumers see the same include paths and definitions as the module code was built with.
target_include_directories(vellumar_core INTERFACE
    $<TARGET_PROPERTY:vellumar_core,INCLUDE_DIRECTORIES>)
target_compile_definitions(vellumar_core INTERFACE
    $<TARGET_PROPERTY:vellumar_core,COMPILE_DEFINITIONS>)
