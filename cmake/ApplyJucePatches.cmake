# Applies patches to a copy of JUCE's modules, in the order given, each exactly: a hunk whose context no longer
# matches, or that would land at other lines than it names, stops with the patch's name instead of landing in the
# wrong place, and the half-patched copy is removed. PatchedJuce.cmake includes it; it also runs on its own:
#     cmake -DVELLUMAR_MODULES_DIR=DIR "-DVELLUMAR_PATCHES=A.patch;B.patch" -P cmake/ApplyJucePatches.cmake

function(vellumar_apply_juce_patches modules_dir)
    find_program(VELLUMAR_PATCH_PROGRAM patch REQUIRED)
    foreach(patch IN LISTS ARGN)
        execute_process(COMMAND "${VELLUMAR_PATCH_PROGRAM}" --batch --fuzz=0 --no-backup-if-mismatch -p1
                                -d "${modules_dir}" -i "${patch}"
                        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
        # patch moves a hunk whose context matches at other lines, and says so with "offset".
        if(NOT result EQUAL 0 OR output MATCHES "\\(offset -?[0-9]+ lines?\\)")
            file(REMOVE_RECURSE "${modules_dir}")
            message(FATAL_ERROR "${patch} does not apply exactly to the JUCE modules:\n${output}")
        endif()
    endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    vellumar_apply_juce_patches("${VELLUMAR_MODULES_DIR}" ${VELLUMAR_PATCHES})
endif()
