# Embedded resources. Files are listed one by one so that a missing one breaks the build.

include(${CMAKE_SOURCE_DIR}/resources/ir/files.cmake OPTIONAL RESULT_VARIABLE VELLUMAR_HAVE_IR_LIST)

set(VELLUMAR_IR_FILES "")
if(VELLUMAR_HAVE_IR_LIST)
    foreach(name IN LISTS VELLUMAR_IR_NAMES)
        list(APPEND VELLUMAR_IR_FILES "${CMAKE_SOURCE_DIR}/resources/ir/${name}")
    endforeach()
endif()

if(VELLUMAR_IR_FILES)
    juce_add_binary_data(VellumarImpulseResponses
        NAMESPACE BinaryData
        HEADER_NAME VellumarImpulseResponses.h
        SOURCES ${VELLUMAR_IR_FILES})
    set_target_properties(VellumarImpulseResponses PROPERTIES POSITION_INDEPENDENT_CODE ON)
    # JUCE rewrites the data only when the list of files changes; regenerated responses must rewrite it too.
    add_custom_command(OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/juce_binarydata_VellumarImpulseResponses/JuceLibraryCode/BinaryData1.cpp"
        APPEND DEPENDS ${VELLUMAR_IR_FILES})
    set(VELLUMAR_RESOURCE_TARGETS VellumarImpulseResponses)
    set(VELLUMAR_RESOURCE_DEFINITIONS VELLUMAR_HAS_IMPULSE_RESPONSES=1)
else()
    set(VELLUMAR_RESOURCE_TARGETS "")
    set(VELLUMAR_RESOURCE_DEFINITIONS VELLUMAR_HAS_IMPULSE_RESPONSES=0)
endif()

# The editor's images and typeface. The images are drawn by tools/artwork (target vellumar-artwork-update
# regenerates them in place); the typeface is League Spartan Medium under the SIL Open Font License.
set(VELLUMAR_EDITOR_IMAGE_NAMES
    title.png texture.jpg
    knob.png knob_hover.png slider_thumb.png
    pill_off.png pill_on.png round_off.png round_on.png slice_off.png slice_on.png
    power_off.png power_on.png
    low_cut_off.png low_cut_on.png low_shelf_off.png low_shelf_on.png peak_off.png peak_on.png
    high_shelf_off.png high_shelf_on.png high_cut_off.png high_cut_on.png)

set(VELLUMAR_EDITOR_RESOURCE_FILES "${CMAKE_SOURCE_DIR}/resources/fonts/LeagueSpartan-Medium.otf")
foreach(name IN LISTS VELLUMAR_EDITOR_IMAGE_NAMES)
    list(APPEND VELLUMAR_EDITOR_RESOURCE_FILES "${CMAKE_SOURCE_DIR}/resources/images/${name}")
endforeach()

juce_add_binary_data(VellumarEditorData
    NAMESPACE EditorData
    HEADER_NAME VellumarEditorData.h
    SOURCES ${VELLUMAR_EDITOR_RESOURCE_FILES})
set_target_properties(VellumarEditorData PROPERTIES POSITION_INDEPENDENT_CODE ON)
list(APPEND VELLUMAR_RESOURCE_TARGETS VellumarEditorData)
