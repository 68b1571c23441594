# Platform pieces that are plain code, tested here although their users are the Windows backends.
trovander_test(test_platform_text)
