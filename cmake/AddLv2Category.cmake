# Run after JUCE has written the LV2 bundle's description: JUCE 7.0.5 declares every effect a plain lv2:Plugin,
# so the plug-in's class in LV2's own terms is added here.
file(READ "${TTL}" description)
if(NOT description MATCHES "lv2:ReverbPlugin")
    file(APPEND "${TTL}" "\n<${URI}>\n\ta lv2:ReverbPlugin .\n")
endif()
