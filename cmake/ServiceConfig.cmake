# Addresses of the cashback service, fixed at build time. The shipped DLL and the tested DLL are the same
# build: tests reach a local stand-in of the service through http_proxy, never through another address.
set(QB_SERVICE_BASE_URL "http://www.quillbury.co.uk/" CACHE STRING "Base address of the cashback service")
set(QB_SERVICE_DOMAIN "quillbury.co.uk" CACHE STRING "Domain name of the service, lower case")
