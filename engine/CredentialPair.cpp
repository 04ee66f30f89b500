#include "engine/CredentialPair.h"

const CredentialPair& BuiltInCredential()
{
    static const CredentialPair pair{"Qw7rTz2mPx9LkV4nBc8sHd3F", "Zr5tYu8iOp2aSd6fGh1jKl4zXc7vBn0M"};
    return pair;
}
