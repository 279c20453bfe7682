# Debian's JUCE modules with the few mends in cmake/patches/ (applied in the order of their numbers), copied into
# the build folder at configure time. Every JUCE target is pointed at the copy, so the library, the format wrappers
# and the test hosts all compile one JUCE. The copy is made again only when a patch or the installed JUCE changes.
# A patch must apply exactly, or the configure step stops with its name (ApplyJucePatches.cmake).

include(${CMAKE_CURRENT_LIST_DIR}/ApplyJucePatches.cmake)

set(VELLUMAR_JUCE_ORIGINAL_MODULES "${JUCE_MODULES_DIR}")
set(VELLUMAR_JUCE_MODULES "${CMAKE_BINARY_DIR}/juce-modules")

file(GLOB VELLUMAR_JUCE_PATCHES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/cmake/patches/*.patch")
list(SORT VELLUMAR_JUCE_PATCHES)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELLUMAR_JUCE_PATCHES})

# The stamp names the installed modules by their contents, so that a package update of the same JUCE version
# makes the copy again.
file(GLOB_RECURSE juce_files LIST_DIRECTORIES false RELATIVE "${VELLUMAR_JUCE_ORIGINAL_MODULES}"
     "${VELLUMAR_JUCE_ORIGINAL_MODULES}/*")
list(SORT juce_files)
set(juce_listing "")
foreach(juce_file IN LISTS juce_files)
    file(MD5 "${VELLUMAR_JUCE_ORIGINAL_MODULES}/${juce_file}" hash)
    string(APPEND juce_listing "${juce_file} ${hash}\n")
endforeach()
string(MD5 juce_hash "${juce_listing}")

set(stamp "${JUCE_VERSION} ${VELLUMAR_JUCE_ORIGINAL_MODULES} ${juce_hash}")
foreach(patch IN LISTS VELLUMAR_JUCE_PATCHES)
    file(MD5 "${patch}" hash)
    string(APPEND stamp " ${hash}")
endforeach()

set(stamp_file "${VELLUMAR_JUCE_MODULES}/.vellumar-patches")
set(old_stamp "")
if(EXISTS "${stamp_file}")
    file(READ "${stamp_file}" old_stamp)
endif()

if(NOT old_stamp STREQUAL stamp)
    file(REMOVE_RECURSE "${VELLUMAR_JUCE_MODULES}")
    file(COPY "${VELLUMAR_JUCE_ORIGINAL_MODULES}/" DESTINATION "${VELLUMAR_JUCE_MODULES}")
    vellumar_apply_juce_patches("${VELLUMAR_JUCE_MODULES}" ${VELLUMAR_JUCE_PATCHES})
    # The copy keeps the installed files' dates, older than anything compiled from a patched file before: a file
    # that a removed or changed patch no longer touches would not be compiled again. Dated now, every copied file
    # is newer than what was compiled from the previous copy.
    file(GLOB_RECURSE copied "${VELLUMAR_JUCE_MODULES}/*")
    file(TOUCH_NOCREATE ${copied})
    file(WRITE "${stamp_file}" "${stamp}")
endif()

# find_package(JUCE) made its module targets on the installed sources; they now name the copy instead.
get_directory_property(targets BUILDSYSTEM_TARGETS)
foreach(target IN LISTS targets)
    if(NOT target MATCHES "^juce_")
        continue()
    endif()
    foreach(property INTERFACE_SOURCES INTERFACE_INCLUDE_DIRECTORIES INTERFACE_JUCE_MODULE_SOURCES
                     INTERFACE_JUCE_MODULE_HEADERS INTERFACE_JUCE_MODULE_PATH)
        get_target_property(value ${target} ${property})
        if(value)
            string(REPLACE "${VELLUMAR_JUCE_ORIGINAL_MODULES}" "${VELLUMAR_JUCE_MODULES}" value "${value}")
            set_target_properties(${target} PROPERTIES ${property} "${value}")
        endif()
    endforeach()
endforeach()

set(JUCE_MODULES_DIR "${VELLUMAR_JUCE_MODULES}")
