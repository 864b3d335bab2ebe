"""What the generated-batch checks share: responses grouped as the mark
reader writes them, and one simulated student's answer to a question."""
import math


def grouped(answers):
    """Responses as the mark reader writes them: groups of ten, one blank between."""
    text = "".join(answers)
    return " ".join(text[i:i + 10] for i in range(0, len(text), 10))


def simulated_answer(rng, ability, difficulty, right, letters, after_p_below=None):
    """A student of `ability` on a question of `difficulty` whose right letter
    is `right`: right with chance 0.2 + 0.8 / (1 + exp(-1.7 (ability -
    difficulty))), else blank (3%), another mark (1%), with `after_p_below`
    the letter G (a letter after the options) until that much above the
    chance of right, or another of `letters`."""
    p_right = 0.2 + 0.8 / (1 + math.exp(-1.7 * (ability - difficulty)))
    u = rng.random()
    if u < p_right:
        return right
    if u < p_right + 0.03:
        return " "
    if u < p_right + 0.04:
        return "*"
    if after_p_below is not None and u < p_right + after_p_below:
        return "G"
    return rng.choice([c for c in letters if c != right])
