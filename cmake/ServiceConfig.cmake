# Addresses of the cashback service, fixed at build time. The shipped DLL and the tested DLL are the same
# build: tests reach a local stand-in of the service through http_proxy, never through another address.
set(QB_SERVICE_BASE_URL "http://www.quillbury.co.uk/" CACHE STRING "Base address of the cashback service")
set(QB_SERVICE_DOMAIN "quillbury.co.uk" CACHE STRING "Domain name of the service, lower case")
set(QB_TWITTER_PAGE_URL "http://twitter.com/quillbury" CACHE STRING "The product's Twitter page")
set(QB_FACEBOOK_PAGE_URL "http://www.facebook.com/quillbury" CACHE STRING "The product's Facebook page")
configure_file(${CMAKE_SOURCE_DIR}/src/net/ServiceConfig.h.in ${CMAKE_BINARY_DIR}/generated/net/ServiceConfig.h @ONLY)
