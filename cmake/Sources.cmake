# Source lists, definitions and warning settings shared by every target.
# Each folder's sources are picked up as a whole so that a new stage only needs its files.

file(GLOB_RECURSE VELLUMAR_ENGINE_SOURCES CONFIGURE_DEPENDS
    "${CMAKE_SOURCE_DIR}/engine/*.cpp" "${CMAKE_SOURCE_DIR}/engine/*.h")
file(GLOB_RECURSE VELLUMAR_EDITOR_SOURCES CONFIGURE_DEPENDS
    "${CMAKE_SOURCE_DIR}/editor/*.cpp" "${CMAKE_SOURCE_DIR}/editor/*.h")

set(VELLUMAR_JUCE_MODULES
    juce::juce_audio_utils
    juce::juce_audio_processors
    juce::juce_audio_formats
    juce::juce_dsp
    juce::juce_gui_basics
    juce::juce_graphics
    juce::juce_data_structures
    juce::juce_events
    juce::juce_core)

set(VELLUMAR_COMMON_DEFINITIONS
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_USE_MP3AUDIOFORMAT=1
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_MODAL_LOOPS_PERMITTED=0
    JUCE_SILENCE_XCODE_15_LINKER_WARNING=1
    VELLUMAR_VERSION="${PROJECT_VERSION}")

# The FFT behind juce::dsp::Convolution: FFTW, or JUCE's own when asked for (see the option's note). JUCE plans its
# real transforms without FFTW's execution-time buffering (cmake/patches/06-fftw-real-plans-unbuffered.patch), so
# running them allocates nothing.
if(VELLUMAR_FFTW)
    pkg_check_modules(VELLUMAR_FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
    find_library(VELLUMAR_FFTW3F_THREADS fftw3f_threads REQUIRED)
    list(APPEND VELLUMAR_COMMON_DEFINITIONS JUCE_DSP_USE_STATIC_FFTW=1 VELLUMAR_FFT_BACKEND="FFTW")
    set(VELLUMAR_FFT_LIBS PkgConfig::VELLUMAR_FFTW3F ${VELLUMAR_FFTW3F_THREADS})
else()
    list(APPEND VELLUMAR_COMMON_DEFINITIONS VELLUMAR_FFT_BACKEND="JUCE")
    set(VELLUMAR_FFT_LIBS "")
endif()

# Debian's JUCE is debundled: the image codecs come from the system.
pkg_check_modules(VELLUMAR_IMAGE_LIBS REQUIRED IMPORTED_TARGET libpng libjpeg zlib)

# Our own code builds without a warning, and stays so: warnings are errors in every file of ours. JUCE's headers
# are system headers to our files, so only what we write is judged; JUCE's own sources keep their defaults.
set(VELLUMAR_WARNING_FLAGS -Wall -Wextra -Wshadow -Woverloaded-virtual)
if(VELLUMAR_WERROR)
    list(APPEND VELLUMAR_WARNING_FLAGS -Werror)
endif()

function(vellumar_warnings target)
    target_compile_options(${target} PRIVATE ${VELLUMAR_WARNING_FLAGS})
    target_include_directories(${target} SYSTEM PRIVATE "${JUCE_MODULES_DIR}")
endfunction()
