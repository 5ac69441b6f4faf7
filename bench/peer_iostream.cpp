// The same program written in the plain way on C++ iostreams.
#include <iostream>
#include <vector>

int main()
{
    int uno = 0;
    std::cout << "enter the array length : ";
    std::cin >> uno;
    std::vector<int> values(uno);
    for (int i = 0; i < uno; i++) {
        std::cout << "Enter your " << i << " number : ";
        std::cin >> values[i];
    }
    int max = values[0];
    int min = values[0];
    for (int b = 0; b < uno; b++) {
        if (values[b] > max)
            max = values[b];
        if (values[b] < min)
            min = values[b];
    }
    std::cout << "max is " << max << "\n";
    std::cout << "min is " << min << "\n";
    for (int a = 0; a < uno; a++)
        std::cout << a << " value you have entered is : " << values[a] << "\n";
    return 0;
}
