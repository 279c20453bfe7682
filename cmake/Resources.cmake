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
    set(VELLUMAR_RESOURCE_TARGETS VellumarImpulseResponses)
    set(VELLUMAR_RESOURCE_DEFINITIONS VELLUMAR_HAS_IMPULSE_RESPONSES=1)
else()
    set(VELLUMAR_RESOURCE_TARGETS "")
    set(VELLUMAR_RESOURCE_DEFINITIONS VELLUMAR_HAS_IMPULSE_RESPONSES=0)
endif()
