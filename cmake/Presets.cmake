# Factory presets: generated from resources/presets by vellumar-presets and installed into every plug-in format,
# in the folder where the plug-in looks for them (engine/state/FactoryPresets.h):
#   VST3        Vellumar.vst3/Contents/Resources/Presets
#   LV2         Vellumar.lv2/Presets
#   Standalone  Presets next to the executable

file(GLOB VELLUMAR_PRESET_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/presets/*.preset")

# Rewritten only when the list of sources changes, so that a deleted or renamed preset rebuilds the set.
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/presets/sources.txt" CONTENT "${VELLUMAR_PRESET_SOURCES}")

set(VELLUMAR_PRESET_FOLDER "${CMAKE_BINARY_DIR}/presets/Presets")
set(VELLUMAR_PRESET_STAMP "${CMAKE_BINARY_DIR}/presets/presets.stamp")

set(vellumar_artefacts "${CMAKE_BINARY_DIR}/Vellumar_artefacts/$<CONFIG>")
set(VELLUMAR_VST3_PRESET_FOLDER "${vellumar_artefacts}/VST3/Vellumar.vst3/Contents/Resources/Presets")
set(VELLUMAR_LV2_PRESET_FOLDER "${vellumar_artefacts}/LV2/Vellumar.lv2/Presets")
set(VELLUMAR_Standalone_PRESET_FOLDER "${vellumar_artefacts}/Standalone/Presets")

# Written into the bundles as well, so that a changed preset reaches them without relinking the plug-in.
add_custom_command(OUTPUT "${VELLUMAR_PRESET_STAMP}"
    COMMAND vellumar-presets "${CMAKE_SOURCE_DIR}/resources/presets" "${VELLUMAR_PRESET_FOLDER}"
        "${VELLUMAR_VST3_PRESET_FOLDER}" "${VELLUMAR_LV2_PRESET_FOLDER}" "${VELLUMAR_Standalone_PRESET_FOLDER}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${VELLUMAR_PRESET_STAMP}"
    DEPENDS vellumar-presets ${VELLUMAR_PRESET_SOURCES} "${CMAKE_BINARY_DIR}/presets/sources.txt"
    COMMENT "Building the factory presets"
    VERBATIM)

add_custom_target(vellumar-factory-presets ALL DEPENDS "${VELLUMAR_PRESET_STAMP}")

foreach(format IN LISTS VELLUMAR_FORMATS)
    add_dependencies(Vellumar_${format} vellumar-factory-presets)

    # A bundle built afresh gets the presets again.
    add_custom_command(TARGET Vellumar_${format} POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E rm -rf "${VELLUMAR_${format}_PRESET_FOLDER}"
        COMMAND "${CMAKE_COMMAND}" -E copy_directory "${VELLUMAR_PRESET_FOLDER}" "${VELLUMAR_${format}_PRESET_FOLDER}"
        VERBATIM)
endforeach()
